#pragma once

// The "Fleet" window: every amplifier at once. A summary line, a "Filter"
// field that keeps the rows whose name, group or address contains its text
// (case-blind), a "Worst first" button beside it, and the fleet table, worst
// first (severity, then slot) until a header is clicked; a click sorts by
// that column, numbers as numbers, a second click reverses, and a third, or
// "Worst first", brings back the worst-first order. Rows are tinted by
// severity. Double-click or Enter on a row asks for that device to be
// selected. With no devices the table area says how to get some.
//
// A normal, resizable window that keeps its size and place while the program
// runs; Escape closes (hides) it. It shows the core's health through its
// own table model; refresh() follows the core's refresh. Main thread only.

#include "fleetmodel.h"

#include <QSortFilterProxyModel>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTableView;

// Sorting, filtering and tints of the fleet table.
class FleetProxy final : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit FleetProxy(QObject *parent = nullptr);

    // Severity descending, then slot; what a header click leaves.
    void sortWorstFirst();
    bool worstFirst() const { return m_worstFirst; }
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Keeps the rows whose name, group or address contains the text.
    void setFilterText(const QString &text);

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    bool m_worstFirst = true;
    QString m_filterText;
};

class FleetWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit FleetWindow(const FleetHealth &health, QWidget *parent = nullptr);

    static QString emptyText();  // "No amplifiers yet: use Scan or File > Open..."

    void refresh();

    FleetModel &model() { return m_model; }
    FleetProxy &proxy() { return m_proxy; }
    QTableView *table() const { return m_table; }
    QLineEdit *filterField() const { return m_filter; }
    QPushButton *worstFirstButton() const { return m_worstFirst; }
    QLabel *summaryLabel() const { return m_summary; }
    QLabel *emptyLabel() const { return m_empty; }

Q_SIGNALS:
    // The operator chose the device in this slot (1..count).
    void deviceActivated(int slot);

private:
    void sortByHeader(int column);
    void sortWorstFirst();
    void showSummary();

    FleetModel m_model;
    FleetProxy m_proxy;
    QLabel *m_summary = nullptr;
    QLineEdit *m_filter = nullptr;
    QPushButton *m_worstFirst = nullptr;
    QStackedWidget *m_stack = nullptr;
    QTableView *m_table = nullptr;
    QLabel *m_empty = nullptr;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
