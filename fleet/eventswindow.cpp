#include "eventswindow.h"

#include "eventcsv.h"
#include "eventlog.h"
#include "operatorhelp.h"
#include "severitytint.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

class TintedEvents final : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::BackgroundRole || role == Qt::ForegroundRole) {
            const QVariant severity = index.data(EventLog::SeverityRole);
            using SeverityTint::Tint;
            const auto level = severity.isValid() ? EventSeverity(severity.toInt()) : EventSeverity::Info;
            return SeverityTint::forRole(role, level == EventSeverity::Alarm     ? Tint::Red
                                               : level == EventSeverity::Warning ? Tint::Amber
                                                                                 : Tint::None);
        }
        return QIdentityProxyModel::data(index, role);
    }
};

QString askForFile(QWidget *parent)
{
    return QFileDialog::getSaveFileName(parent, u"Export events"_s, u"events.csv"_s,
                                        u"CSV files (*.csv);;All files (*)"_s);
}

void showWarning(QWidget *parent, const QString &text)
{
    QMessageBox::warning(parent, u"Events"_s, text);
}

} // namespace

EventsWindow::EventsWindow(const EventLog &log, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_log(log),
      m_saveDialog(askForFile),
      m_showMessage(showWarning)
{
    setWindowTitle(u"Events"_s);
    setObjectName(u"EventsWindow"_s);
    m_tinted = new TintedEvents(this);
    // A view asks for a model it could change; the log has no setData() and
    // no other write through the model's interface, so the view only reads.
    m_tinted->setSourceModel(const_cast<EventLog *>(&m_log));

    m_table = new QTableView(this);
    describeControl(m_table, u"EventTable"_s, u"Event log"_s,
                    u"What happened in the fleet and what the operator did, newest first; "
                    u"alarms in red, warnings in amber"_s);
    describeInnerButton(m_table, u"Select all"_s);
    m_table->setModel(m_tinted);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    QHeaderView *header = m_table->horizontalHeader();
    header->setStretchLastSection(true);
    const QFontMetrics metrics = m_table->fontMetrics();
    header->resizeSection(EventLog::Time, metrics.horizontalAdvance(u"00:00:00.000"_s) + 16);
    header->resizeSection(EventLog::Severity, metrics.horizontalAdvance(u"Warning"_s) + 24);
    header->resizeSection(EventLog::Amplifier, metrics.horizontalAdvance(u"WWWWW (127.255.255.255)"_s) + 16);

    m_export = new QPushButton(u"Export..."_s, this);
    describeControl(m_export, u"ExportEvents"_s, u"Export events"_s,
                    u"Writes the whole log to a CSV file, oldest event first"_s);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_export);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    connect(m_export, &QPushButton::clicked, this, &EventsWindow::exportLog);

    resize(header->sectionSize(EventLog::Time) + header->sectionSize(EventLog::Severity)
               + header->sectionSize(EventLog::Amplifier) + metrics.horizontalAdvance(u'x') * 60,
           420);
    closeOnEscape(this);
}

QString EventsWindow::unableToWriteText(const QString &path)
{
    return u"Unable to write to "_s + path;
}

void EventsWindow::exportLog()
{
    const QString path = m_saveDialog(this);
    if (path.isEmpty())
        return;
    if (!EventCsv::save(m_log, path))
        m_showMessage(this, unableToWriteText(path));
}

void EventsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    Q_EMIT shown();
}
