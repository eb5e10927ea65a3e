#include "scanwindow.h"

#include "addressscan.h"
#include "fixedpitchfont.h"
#include "ipaddress.h"
#include "operatorhelp.h"
#include "statusfetcher.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

void showMessageBox(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

TForm3::TForm3(quint16 devicePort, Hooks hooks, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint),
      m_devicePort(devicePort),
      m_hooks(std::move(hooks)),
      m_showMessage(showMessageBox)
{
    setWindowTitle(u"Search Amplifier"_s);
    setModal(false);
    createControls();
    placeControls();
}

TForm3::~TForm3() = default;

QString TForm3::invalidAddressText()
{
    return u"Invalid IP address!"_s;
}

QString TForm3::tableFullText()
{
    return u"The device table is full: no more amplifiers can be added."_s;
}

void TForm3::setMessageFunction(MessageFunction show)
{
    m_showMessage = show ? std::move(show) : MessageFunction(showMessageBox);
}

void TForm3::createControls()
{
    const QFont fixed = fixedPitchFont();

    m_listBox1 = new QListWidget(this);
    describeControl(m_listBox1, u"ListBox1"_s, u"Scanned addresses"_s,
                    u"Found: an amplifier answered there. Not found: nothing answered as one"_s);

    m_label1 = new QLabel(u"First IP"_s, this);
    m_edit1 = new QLineEdit(u"192.168.1.110"_s, this);
    describeControl(m_edit1, u"Edit1"_s, u"First IP"_s);
    m_edit1->setFont(fixed);
    m_label1->setBuddy(m_edit1);

    m_label2 = new QLabel(u"Last IP"_s, this);
    m_edit2 = new QLineEdit(u"192.168.1.119"_s, this);
    describeControl(m_edit2, u"Edit2"_s, u"Last IP"_s);
    m_edit2->setFont(fixed);
    m_label2->setBuddy(m_edit2);

    m_button1 = new QPushButton(u"Scan"_s, this);
    describeControl(m_button1, u"Button1"_s, u"Scan"_s, u"Asks every address from First IP to Last IP"_s);
    // Enter in a field validates it; it must not press Scan as a dialog's
    // default button would.
    m_button1->setAutoDefault(false);
    m_button1->setDefault(false);
    connect(m_button1, &QPushButton::clicked, this, &TForm3::Button2Click);

    m_edit1->installEventFilter(this);
    m_edit2->installEventFilter(this);
}

// Fixed geometry in pixels, top to bottom: the result list, then the two
// labelled fields beside the Scan button.
void TForm3::placeControls()
{
    setFixedSize(300, 400);
    m_listBox1->setGeometry(8, 8, 284, 300);
    m_label1->setGeometry(8, 320, 60, 24);
    m_edit1->setGeometry(72, 320, 136, 24);
    m_label2->setGeometry(8, 356, 60, 24);
    m_edit2->setGeometry(72, 356, 136, 24);
    m_button1->setGeometry(216, 320, 76, 60);
    setTabOrder(m_edit1, m_edit2);
    setTabOrder(m_edit2, m_button1);
    setTabOrder(m_button1, m_listBox1);
}

bool TForm3::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) {
        m_quitRequested = true;  // ends a running scan after its current address
        return false;
    }
    if (watched != m_edit1 && watched != m_edit2)
        return QDialog::eventFilter(watched, event);

    if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        // Leaving the window (for a message box, another window or a menu) is
        // not leaving the field; this also keeps a message box's own focus
        // change from validating again.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            fieldLeft(static_cast<QLineEdit *>(watched));
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (isEnter(key)) {
            watched == m_edit1 ? Edit1KeyDown(key) : Edit2KeyDown(key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// The validation waits until the focus change that left the field is done,
// so that no message box opens in the middle of a mouse press on another
// control.
void TForm3::fieldLeft(QLineEdit *field)
{
    if (m_validating)
        return;
    m_pendingExit = field;
    QTimer::singleShot(0, this, &TForm3::runPendingExit);
}

void TForm3::runPendingExit()
{
    QLineEdit *field = m_pendingExit;
    m_pendingExit = nullptr;
    if (field == m_edit1)
        Edit1Exit();
    else if (field == m_edit2)
        Edit2Exit();
}

void TForm3::Edit1Exit()
{
    validateField(m_edit1);
}

void TForm3::Edit2Exit()
{
    validateField(m_edit2);
}

void TForm3::Edit1KeyDown(int key)
{
    if (isEnter(key))
        validateField(m_edit1);
}

void TForm3::Edit2KeyDown(int key)
{
    if (isEnter(key))
        validateField(m_edit2);
}

void TForm3::validateField(QLineEdit *field)
{
    if (m_validating)
        return;
    if (m_pendingExit == field)
        m_pendingExit = nullptr;
    if (!addressNumber(field->text()))
        refuseField(field);
}

void TForm3::refuseField(QLineEdit *field)
{
    m_validating = true;
    showMessage(invalidAddressText());
    // The box took the activation; not every window system hands it back.
    if (isVisible())
        activateWindow();
    field->setFocus(Qt::OtherFocusReason);
    m_validating = false;
}

void TForm3::showMessage(const QString &text)
{
    m_showMessage(this, text);
}

void TForm3::Button2Click()
{
    if (m_scanning || m_validating)
        return;
    // Pressing Scan checks both fields itself; a field left on the way to
    // the button needs no message of its own.
    m_pendingExit = nullptr;
    m_listBox1->clear();

    const std::optional<quint32> first = addressNumber(m_edit1->text());
    const std::optional<quint32> last = addressNumber(m_edit2->text());
    if (!first || !last) {
        refuseField(first ? m_edit2 : m_edit1);
        return;
    }
    scan(*first, *last);
}

void TForm3::scan(quint32 first, quint32 last)
{
    m_scanning = true;
    m_quitRequested = false;
    m_button1->setEnabled(false);
    QCoreApplication::instance()->installEventFilter(this);

    StatusFetcher fetcher(m_devicePort);
    ScanHooks hooks;
    hooks.appendRow = [this](const QString &row) { m_listBox1->addItem(row); };
    int found = 0;
    if (m_hooks.addOrUpdateDevice) {
        hooks.addOrUpdateDevice = [this, &found](const QString &name, const QString &group, const QString &address) {
            ++found;
            return m_hooks.addOrUpdateDevice(name, group, address);
        };
    }
    hooks.afterAddress = [this] {
        if (m_hooks.afterAddress)
            m_hooks.afterAddress();
        // Repaints both windows and runs the main window's timers, so that
        // devices found so far are polled while the scan goes on.
        QCoreApplication::processEvents();
    };
    hooks.tableFull = [this] { showMessage(tableFullText()); };
    hooks.stopRequested = [this] { return m_quitRequested; };
    runScan(first, last, fetcher, hooks);

    QCoreApplication::instance()->removeEventFilter(this);
    m_button1->setEnabled(true);
    m_scanning = false;
    Q_EMIT scanFinished(m_edit1->text(), m_edit2->text(), found);
}
