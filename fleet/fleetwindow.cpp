#include "fleetwindow.h"

#include "operatorhelp.h"
#include "severitytint.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

FleetProxy::FleetProxy(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(FleetModel::SortRole);
    setDynamicSortFilter(true);
}

void FleetProxy::sortWorstFirst()
{
    m_worstFirst = true;
    QSortFilterProxyModel::sort(0, Qt::AscendingOrder);
}

void FleetProxy::sort(int column, Qt::SortOrder order)
{
    m_worstFirst = false;
    QSortFilterProxyModel::sort(column, order);
}

// Ties, and the worst-first order, go by severity descending then slot.
bool FleetProxy::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    if (!m_worstFirst) {
        const QVariant a = left.data(FleetModel::SortRole);
        const QVariant b = right.data(FleetModel::SortRole);
        if (a != b)
            return QVariant::compare(a, b) == QPartialOrdering::Less;
    }
    const int severityA = left.data(FleetModel::SeverityRole).toInt();
    const int severityB = right.data(FleetModel::SeverityRole).toInt();
    if (severityA != severityB)
        return m_worstFirst ? severityA > severityB : severityA < severityB;
    return left.data(FleetModel::SlotRole).toInt() < right.data(FleetModel::SlotRole).toInt();
}

bool FleetProxy::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_filterText.isEmpty())
        return true;
    for (int column : {FleetModel::Name, FleetModel::Group, FleetModel::Address}) {
        const QString cell = sourceModel()->index(sourceRow, column, sourceParent).data().toString();
        if (cell.contains(m_filterText, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void FleetProxy::setFilterText(const QString &text)
{
    m_filterText = text;
    invalidateFilter();
}

QVariant FleetProxy::data(const QModelIndex &index, int role) const
{
    if (role == Qt::BackgroundRole || role == Qt::ForegroundRole) {
        const int severity = index.data(FleetModel::SeverityRole).toInt();
        using SeverityTint::Tint;
        return SeverityTint::forRole(role, severity >= 2 ? Tint::Red : severity == 1 ? Tint::Amber : Tint::None);
    }
    return QSortFilterProxyModel::data(index, role);
}

FleetWindow::FleetWindow(const FleetHealth &health, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_model(health)
{
    setWindowTitle(u"Fleet"_s);
    setObjectName(u"FleetWindow"_s);
    m_model.refresh();
    m_proxy.setSourceModel(&m_model);
    m_proxy.sortWorstFirst();

    m_summary = new QLabel(this);
    m_filter = new QLineEdit(this);
    m_filter->setPlaceholderText(u"Filter"_s);
    describeControl(m_filter, u"FleetFilter"_s, u"Filter"_s,
                    u"Keeps the amplifiers whose name, group or address contains this text"_s);
    m_filter->setClearButtonEnabled(true);
    describeInnerButton(m_filter, u"Clear filter"_s);
    auto *filterLabel = new QLabel(u"Filter"_s, this);
    filterLabel->setBuddy(m_filter);
    m_worstFirst = new QPushButton(u"Worst first"_s, this);
    describeControl(m_worstFirst, u"WorstFirst"_s, u"Worst first"_s,
                    u"Sorts the amplifiers worst first again: offline, alarms, warnings, then by slot"_s);

    m_table = new QTableView(this);
    describeControl(m_table, u"FleetTable"_s, u"Fleet table"_s,
                    u"Double-click or Enter selects the amplifier in the main window. A click on a header "
                    u"sorts by that column, a second click reverses, a third sorts worst first again"_s);
    describeInnerButton(m_table, u"Select all"_s);
    m_table->setModel(&m_proxy);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    QHeaderView *header = m_table->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    // Wide enough for the header and the longest usual text of each column.
    const QStringList widest = {u"255"_s, u"WWWWW"_s, u"WWWWW"_s, u"127.255.255.255"_s, u"No answer yet"_s,
                                u"Last answer"_s, u"Exchange ms"_s, u"100.0"_s, u"FAULT MUTED"_s,
                                u"FAULT MUTED"_s, u"Amp \u00B0C"_s, u"PSU \u00B0C"_s, u"230.0 V"_s,
                                u"Fan %"_s, u"200.0 V"_s, u"200.0 V"_s};
    for (int column = 0; column < FleetModel::ColumnCount; ++column) {
        const QString title = m_model.headerData(column, Qt::Horizontal).toString();
        const int text = std::max(m_table->fontMetrics().horizontalAdvance(widest[column]),
                                  header->fontMetrics().horizontalAdvance(title) + 16);
        header->resizeSection(column, text + 14);
    }

    m_empty = new QLabel(emptyText(), this);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setEnabled(false);
    m_stack = new QStackedWidget(this);
    m_stack->addWidget(m_empty);
    m_stack->addWidget(m_table);

    auto *filterRow = new QHBoxLayout;
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(m_filter, 1);
    filterRow->addWidget(m_worstFirst);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addLayout(filterRow);
    layout->addWidget(m_stack, 1);

    connect(m_filter, &QLineEdit::textChanged, &m_proxy, &FleetProxy::setFilterText);
    connect(header, &QHeaderView::sectionClicked, this, &FleetWindow::sortByHeader);
    connect(m_worstFirst, &QPushButton::clicked, this, &FleetWindow::sortWorstFirst);
    connect(m_table, &QAbstractItemView::activated, this, [this](const QModelIndex &index) {
        Q_EMIT deviceActivated(index.data(FleetModel::SlotRole).toInt());
    });

    int width = 0;
    for (int column = 0; column < FleetModel::ColumnCount; ++column)
        width += header->sectionSize(column);
    resize(width + 40, 480);
    showSummary();
    closeOnEscape(this);
}

QString FleetWindow::emptyText()
{
    return u"No amplifiers yet: use Scan or File > Open..."_s;
}

void FleetWindow::refresh()
{
    m_model.refresh();
    showSummary();
}

void FleetWindow::showSummary()
{
    const QString text = FleetModel::summaryText(m_model.summary());
    if (m_summary->text() != text)
        m_summary->setText(text);
    m_stack->setCurrentWidget(m_model.rowCount() == 0 ? static_cast<QWidget *>(m_empty) : m_table);
}

// Ascending, descending, then worst first again.
void FleetWindow::sortByHeader(int column)
{
    if (column == m_sortColumn && m_sortOrder == Qt::DescendingOrder) {
        sortWorstFirst();
        return;
    }
    m_sortOrder = column == m_sortColumn ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sortColumn = column;
    m_table->horizontalHeader()->setSortIndicatorShown(true);
    m_table->horizontalHeader()->setSortIndicator(column, m_sortOrder);
    m_proxy.sort(column, m_sortOrder);
}

void FleetWindow::sortWorstFirst()
{
    m_sortColumn = -1;
    m_sortOrder = Qt::AscendingOrder;
    m_table->horizontalHeader()->setSortIndicatorShown(false);
    m_proxy.sortWorstFirst();
}
