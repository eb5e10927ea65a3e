#pragma once

// The fleet table: one row per device of the device table, in slot order,
// each cell showing what the device panel shows for that figure ("—" before
// the device has answered), with link health beside it and a severity per
// row:
//   3 not online (offline, or no answer yet);
//   2 a channel in fault, or a temperature or the mains in the red zone of
//     its panel bar;
//   1 such a figure in the yellow zone, or a loss above 1 %;
//   0 otherwise.
// Zones and the loss warning hold with hysteresis, as the events do: a
// figure's zone follows FigureZones::track(), and a loss warning, entered
// above 1 %, is left only below 0.5 %. A figure sitting on a boundary thus
// neither moves its row nor changes its tint at every refresh.
//
// refresh() compares each new cell text with the one shown and signals only
// what changed (dataChanged per row over the changed columns); rows are
// inserted and removed as devices come and go, matched by their id,
// so a view keeps its selection and scroll position. The texts of a block are
// formatted again only when the block's figures changed.
//
// Roles: DisplayRole the text; SortRole a number for numeric columns (-1 when
// there is none yet) and the text for the others; SeverityRole and SlotRole.
// Main thread only.

#include "figurezones.h"
#include "linkhealth.h"
#include "statusblock.h"

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <memory>
#include <utility>
#include <optional>
#include <vector>

class StoredBlocks;
class tDevices;
struct tDevice;

class FleetModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Slot, Name, Group, Address, Link, LastAnswer, ExchangeMs, LossPercent, ChannelA, ChannelB,
        AmpTemperature, PsuTemperature, Mains, Fan, PeakA, PeakB, ColumnCount
    };
    enum Role { SortRole = Qt::UserRole, SeverityRole, SlotRole };

    static constexpr double kLossWarningPercent = 1.0;       // entered above
    static constexpr double kLossWarningLeavePercent = 0.5;  // left below

    // The level of each alarm figure, in the order of FigureZones::kFigures.
    using FigureLevels = std::array<FigureZones::Level, FigureZones::kFigureCount>;

    struct Summary
    {
        int devices = 0;
        int online = 0;
        int notOnline = 0;
        int withAlarms = 0;  // severity 2 or more
    };

    // A device's link health and severity as its row shows them, rounded
    // as shown; none where the row shows "—".
    struct Health
    {
        std::optional<double> secondsSinceAnswer{};
        std::optional<double> medianExchangeMs{};
        std::optional<double> lossPercent{};
        int severity = 0;
    };

    explicit FleetModel(QObject *parent = nullptr);

    // The separator of the decimal figures; the operator's locale unless set.
    void setDecimalPoint(const QString &decimalPoint) { m_decimalPoint = decimalPoint; }

    // Brings the rows up to date with the table; nowNs on the steady clock.
    void refresh(const tDevices &devices, const StoredBlocks &blocks, qint64 nowNs);

    Summary summary() const;
    // Of the device with this id as of the last refresh; a device without a
    // row yet (added since) reads as not online.
    Health health(quint64 deviceId) const;
    // "N amplifiers: A online, B offline, C with alarms"
    static QString summaryText(const Summary &summary);
    static QString notAnsweredText();  // "—"

    // What a block makes of an online device (0..2); the figures' levels
    // move on from those given (all normal for a first block) and are kept
    // for the next block.
    static int blockSeverity(const StatusBlock &block, FigureLevels &levels);
    // Whether the loss warns, from whether it warned; none warns nothing.
    static bool lossWarning(bool warned, std::optional<double> lossPercent);
    // The severity of a row from its link state, its block and its loss.
    static int severity(int linkState, int blockSeverity, bool lossWarning);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // The block bytes the figures are read from: everything up to the name.
    static constexpr int kFigureBytes = StatusField::Name + StatusField::IdentityWidth;

    struct Row
    {
        quint64 deviceId = 0;
        int slot = 0;
        int severity = 0;
        int blockSeverity = 0;
        FigureLevels levels{};
        bool lossWarning = false;
        std::array<QString, ColumnCount> text;
        std::array<double, ColumnCount> number{};
        // What each block cell was formatted from, so that only a cell
        // whose raw value changed is formatted again.
        std::array<quint64, ColumnCount> raw{};
        LinkHealth health;
        bool blockShown = false;
        std::array<quint8, kFigureBytes> figures{};
    };
    // The columns whose text changed in one update.
    struct Changes
    {
        int first = ColumnCount;
        int last = -1;
        void mark(int column);
    };

    static bool sameDevice(const Row &row, const tDevice &device);
    Row newRow(const tDevice &device, int slot, bool hasBlock, qint64 nowNs) const;
    Changes update(Row &row, const tDevice &device, int slot, bool hasBlock, qint64 nowNs) const;
    void showBlock(Row &row, const StatusBlock &block, Changes &changes) const;
    void showNoBlock(Row &row, Changes &changes) const;
    void removeRows(int first, int last);

    std::vector<Row> m_rows;
    QString m_decimalPoint;
};
