#pragma once

// The "Search Amplifier" window: asks every address of an IPv4 range for the
// status resource and hands each amplifier that answers to the main window.
//
// Created once at start-up, shown modeless with show(), hidden on close and
// never destroyed while the program runs, so the two address fields keep what
// the operator typed. Main thread only.

#include <QDialog>
#include <QPointer>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class TForm3 final : public QDialog
{
    Q_OBJECT

public:
    struct Hooks
    {
        // Name and group are the five characters of the status block, as they
        // stand; address is the dotted text. Returns false when the device
        // table is full and the device could not be added.
        std::function<bool(const QString &name, const QString &group, const QString &address)>
            addOrUpdateDevice;
        // The main window's tree rebuild and state image refresh, run after
        // every address.
        std::function<void()> afterAddress;
    };

    // A modal note to the operator ("Invalid IP address!"); replaceable so
    // that tests can observe it without a modal loop.
    using MessageFunction = std::function<void(QWidget *parent, const QString &text)>;

    // devicePort: the amplifiers' HTTP port, 80 in the program.
    explicit TForm3(quint16 devicePort, Hooks hooks, QWidget *parent = nullptr);
    ~TForm3() override;

    // Runs one whole scan of Edit1 .. Edit2 and returns when the last address
    // is done. Pending events are processed between addresses; the Scan button
    // is disabled meanwhile, and a call during a running scan does nothing.
    // A field that does not read as an address gets "Invalid IP address!" and
    // nothing is scanned. A quit of the application ends the scan after the
    // address under way.
    void Button2Click();
    bool scanning() const { return m_scanning; }

    QListWidget *ListBox1() const { return m_listBox1; }
    QLineEdit *Edit1() const { return m_edit1; }
    QLineEdit *Edit2() const { return m_edit2; }
    QPushButton *Button1() const { return m_button1; }

    // The default shows a plain QMessageBox with an OK button.
    void setMessageFunction(MessageFunction show);

    static QString invalidAddressText();
    static QString tableFullText();

Q_SIGNALS:
    // A scan from the first to the last address ended; found amplifiers
    // answered it.
    void scanFinished(const QString &first, const QString &last, int found);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void placeControls();

    void Edit1Exit();
    void Edit2Exit();
    void Edit1KeyDown(int key);
    void Edit2KeyDown(int key);
    void fieldLeft(QLineEdit *field);
    void runPendingExit();
    void validateField(QLineEdit *field);
    void refuseField(QLineEdit *field);
    void showMessage(const QString &text);
    void scan(quint32 first, quint32 last);

    quint16 m_devicePort;
    Hooks m_hooks;
    MessageFunction m_showMessage;
    bool m_scanning = false;
    bool m_validating = false;    // a validation message or its focus return is under way
    QPointer<QLineEdit> m_pendingExit;  // a field left, validated once the focus change is done
    bool m_quitRequested = false; // the application asked to quit during a scan

    QListWidget *m_listBox1 = nullptr;
    QLabel *m_label1 = nullptr;
    QLineEdit *m_edit1 = nullptr;
    QLabel *m_label2 = nullptr;
    QLineEdit *m_edit2 = nullptr;
    QPushButton *m_button1 = nullptr;
};
