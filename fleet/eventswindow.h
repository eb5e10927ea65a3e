#pragma once

// The "Events" window: the event log, newest first, tinted by severity, and
// "Export..." to write it as CSV. Showing the window tells (shown()), so the
// log's owner can count its alarms as seen; Escape closes (hides) it.
//
// The save dialog and the message are replaceable, so that tests can drive an
// export without a modal window. Main thread only.

#include <QIdentityProxyModel>
#include <QWidget>

#include <functional>

class EventLog;
class QPushButton;
class QTableView;

class EventsWindow final : public QWidget
{
    Q_OBJECT

public:
    using FileDialog = std::function<QString(QWidget *parent)>;
    using MessageFunction = std::function<void(QWidget *parent, const QString &text)>;

    explicit EventsWindow(const EventLog &log, QWidget *parent = nullptr);

    void setSaveDialog(FileDialog dialog) { m_saveDialog = std::move(dialog); }
    void setMessageFunction(MessageFunction show) { m_showMessage = std::move(show); }
    static QString unableToWriteText(const QString &path);  // "Unable to write to <file>"

    // Asks for a file and writes the log there.
    void exportLog();

    QTableView *table() const { return m_table; }
    QPushButton *exportButton() const { return m_export; }

Q_SIGNALS:
    void shown();

protected:
    void showEvent(QShowEvent *event) override;

private:
    const EventLog &m_log;
    QIdentityProxyModel *m_tinted = nullptr;
    QTableView *m_table = nullptr;
    QPushButton *m_export = nullptr;
    FileDialog m_saveDialog;
    MessageFunction m_showMessage;
};
