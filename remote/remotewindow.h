#pragma once

// The "Remote" window: how the HTTP monitor and the OSC server are set up,
// whether they listen, and what they have served. "Apply" hands the fields
// to the core as its remote settings, which the interfaces take up at once
// and the next "Save as..." writes. An address other than loopback is the
// operator's explicit choice; the window says who can then reach the
// interface. Main thread only.

#include <QWidget>

class ControllerCore;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class RemoteInterfaces;

class RemoteWindow final : public QWidget
{
    Q_OBJECT

public:
    RemoteWindow(ControllerCore &core, const RemoteInterfaces &interfaces, QWidget *parent = nullptr);

    // Shows the settings the core holds now (a project may have brought others).
    void showSettings();
    // Status lines and counts; the core's refresh drives it while shown.
    void showState();
    void applyClick();

    QSpinBox *httpPort() const { return m_httpPort; }
    QLineEdit *httpListen() const { return m_httpListen; }
    QSpinBox *oscPort() const { return m_oscPort; }
    QLineEdit *oscListen() const { return m_oscListen; }
    QLineEdit *oscAllow() const { return m_oscAllow; }
    QPushButton *applyButton() const { return m_apply; }
    QLabel *httpStatus() const { return m_httpStatus; }
    QLabel *oscStatus() const { return m_oscStatus; }

    static QString exposedText(const QString &what);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void showExposure();

    ControllerCore &m_core;
    const RemoteInterfaces &m_interfaces;
    QSpinBox *m_httpPort = nullptr;
    QLineEdit *m_httpListen = nullptr;
    QLabel *m_httpExposed = nullptr;
    QLabel *m_httpStatus = nullptr;
    QLabel *m_httpCounts = nullptr;
    QSpinBox *m_oscPort = nullptr;
    QLineEdit *m_oscListen = nullptr;
    QLineEdit *m_oscAllow = nullptr;
    QLabel *m_oscExposed = nullptr;
    QLabel *m_oscStatus = nullptr;
    QLabel *m_oscCounts = nullptr;
    QPushButton *m_apply = nullptr;
};
