#include "networkstatwindow.h"

#include <QListWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TForm6::TForm6(QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_listBox1(new QListWidget(this))
{
    setWindowTitle(u"Network stat"_s);
    auto *fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(m_listBox1);
    resize(420, 300);
}
