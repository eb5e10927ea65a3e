#include "groupdialog.h"

#include "names.h"
#include "operatorhelp.h"
#include "operatornote.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

TForm8::TForm8(QWidget *parent)
    : QDialog(parent),
      m_showMessage(showOperatorNote)
{
    setWindowTitle(u"Group"_s);
    setModal(false);
    // Above the main window from creation on, without taking the focus then.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    resize(kSize);

    m_label1 = new QLabel(u"Add Group"_s, this);
    QFont large = m_label1->font();
    large.setPointSize(14);
    large.setBold(true);
    m_label1->setFont(large);
    m_label1->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    m_label1->setGeometry(8, 8, 168, 28);

    m_edit1 = new QLineEdit(this);
    m_edit1->setMaxLength(kMinimumNameLength);
    describeControl(m_edit1, u"Edit1"_s, u"Group name"_s);
    m_edit1->setGeometry(52, 48, 80, 21);

    m_button1 = new QPushButton(u"Ok"_s, this);
    m_button1->setGeometry(16, 88, 71, 25);
    m_button1->setAutoDefault(false);
    m_button2 = new QPushButton(u"Cancel"_s, this);
    m_button2->setGeometry(96, 88, 71, 25);
    m_button2->setAutoDefault(false);

    connect(m_button1, &QPushButton::clicked, this, &TForm8::Button1Click);
    connect(m_button2, &QPushButton::clicked, this, &TForm8::Button2Click);
    connect(m_edit1, &QLineEdit::returnPressed, this, &TForm8::Button1Click);
}

QString TForm8::tableFullText()
{
    return u"The group table is full: no more than 255 groups."_s;
}

void TForm8::Button1Click()
{
    const bool added = !m_addGroup || m_addGroup(m_edit1->text());
    hide();
    if (!added)
        m_showMessage(this, tableFullText());
}

void TForm8::Button2Click()
{
    hide();
}

// Every show is followed by an activation; clearing at the show as well
// keeps a stale name from flashing up first.
bool TForm8::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)
        m_edit1->clear();
    return QDialog::event(event);
}

// Escape hides the dialog like "Cancel"; Enter belongs to the field alone.
void TForm8::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        Button2Click();
        return;
    }
    QDialog::keyPressEvent(event);
}
