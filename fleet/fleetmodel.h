#pragma once

// The fleet table: a view over the core's FleetHealth, one row per device in
// slot order, each cell showing what the device panel shows for that figure
// ("—" before the device has answered), with link health beside it; rows
// carry their device's severity.
//
// refresh() compares each new cell text with the one shown and signals only
// what changed (dataChanged per row over the changed columns); rows are
// inserted and removed as devices come and go, matched by their id,
// so a view keeps its selection and scroll position. The texts of a block are
// formatted again only when its readings changed.
//
// Roles: DisplayRole the text; SortRole a number for numeric columns (-1 when
// there is none yet) and the text for the others; SeverityRole and SlotRole.
// Main thread only.

#include "fleethealth.h"

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class FleetModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Slot, Name, Group, Address, Link, LastAnswer, ExchangeMs, LossPercent, ChannelA, ChannelB,
        AmpTemperature, PsuTemperature, Mains, Fan, PeakA, PeakB, ColumnCount
    };
    enum Role { SortRole = Qt::UserRole, SeverityRole, SlotRole };

    explicit FleetModel(const FleetHealth &health, QObject *parent = nullptr);

    // The separator of the decimal figures; the operator's locale unless set.
    void setDecimalPoint(const QString &decimalPoint) { m_decimalPoint = decimalPoint; }

    // Brings the rows up to date with the health.
    void refresh();

    FleetHealth::Summary summary() const { return m_health.summary(); }
    // "N amplifiers: A online, B offline, C with alarms"
    static QString summaryText(const FleetHealth::Summary &summary);
    static QString notAnsweredText();  // "—"

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        quint64 deviceId = 0;
        int slot = 0;
        int severity = 0;
        std::array<QString, ColumnCount> text;
        std::array<double, ColumnCount> number{};
        // What the block cells were formatted from, so that only a cell
        // whose reading changed is formatted again.
        std::optional<PanelReadings> shown;
    };
    // The columns whose text changed in one update.
    struct Changes
    {
        int first = ColumnCount;
        int last = -1;
        void mark(int column);
    };

    Row newRow(const DeviceHealth &health) const;
    Changes update(Row &row, const DeviceHealth &health) const;
    void showBlock(Row &row, const PanelReadings &readings, Changes &changes) const;
    void showNoBlock(Row &row, Changes &changes) const;
    void eraseRows(int first, int last);

    const FleetHealth &m_health;
    std::vector<Row> m_rows;
    QString m_decimalPoint;
};
