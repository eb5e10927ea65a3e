#include "fleetmodel.h"

#include "devicetable.h"
#include "figurezones.h"
#include "ipaddress.h"
#include "panelfigures.h"
#include "storedblocks.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace Qt::StringLiterals;
namespace Field = StatusField;
namespace R = StatusBlockReader;

namespace {

const QString kNotAnswered = u"\u2014"_s;
constexpr double kNone = -1.0;

QString fixed(double value, int decimals, const QString &decimalPoint)
{
    QString text = QString::number(value, 'f', decimals);
    if (decimalPoint != u"."_s)
        text.replace(u'.', decimalPoint);
    return text;
}

double rounded(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

QString linkText(int linkState)
{
    switch (linkState) {
    case ThSocket::Online:
        return u"Online"_s;
    case ThSocket::Offline:
        return u"Offline"_s;
    default:
        break;
    }
    return u"No answer yet"_s;
}

// Dotted IPv4 text as a number, so that addresses sort as such; text that is
// no address sorts first.
// Addresses sort as the numbers they stand for.
double addressSortKey(const QString &address)
{
    const std::optional<quint32> number = addressNumber(address);
    return number ? double(*number) : kNone;
}

QString channelText(quint8 state, bool muted)
{
    QString text = state == 1 ? u"OK"_s : state == 0 ? u"FAULT"_s : QString();
    if (muted)
        text += text.isEmpty() ? u"MUTED"_s : u" MUTED"_s;
    return text;
}

const char *const kHeaders[FleetModel::ColumnCount] = {
    "#", "Name", "Group", "Address", "Link", "Last answer", "Exchange ms", "Loss %", "Ch A", "Ch B",
    "Amp \u00B0C", "PSU \u00B0C", "Mains V", "Fan %", "Peak A V", "Peak B V"};

} // namespace

FleetModel::FleetModel(QObject *parent)
    : QAbstractTableModel(parent),
      m_decimalPoint(QLocale().decimalPoint())
{
}

QString FleetModel::notAnsweredText()
{
    return kNotAnswered;
}

int FleetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FleetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FleetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Row &row = m_rows[std::size_t(index.row())];
    const auto column = std::size_t(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return row.text[column];
    case SortRole:
        switch (index.column()) {
        case Name: case Group: case ChannelA: case ChannelB:
            return row.text[column];
        default:
            return row.number[column];
        }
    case SeverityRole:
        return row.severity;
    case SlotRole:
        return row.slot;
    case Qt::TextAlignmentRole:
        switch (index.column()) {
        case Name: case Group: case Address: case Link: case ChannelA: case ChannelB:
            return QVariant((Qt::AlignLeft | Qt::AlignVCenter).toInt());
        default:
            return QVariant((Qt::AlignRight | Qt::AlignVCenter).toInt());
        }
    default:
        return {};
    }
}

QVariant FleetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return QString::fromUtf8(kHeaders[section]);
}

FleetModel::Summary FleetModel::summary() const
{
    Summary summary;
    summary.devices = int(m_rows.size());
    for (const Row &row : m_rows) {
        if (row.severity == 3)
            ++summary.notOnline;
        else
            ++summary.online;
        if (row.severity >= 2)
            ++summary.withAlarms;
    }
    return summary;
}

FleetModel::Health FleetModel::health(quint64 deviceId) const
{
    // Rows are in slot order, and a device appended later has a greater id.
    const auto row = std::lower_bound(m_rows.cbegin(), m_rows.cend(), deviceId,
                                      [](const Row &candidate, quint64 id) { return candidate.deviceId < id; });
    if (row == m_rows.cend() || row->deviceId != deviceId)
        return {.severity = 3};
    const auto figure = [&](Column column) -> std::optional<double> {
        const double number = row->number[std::size_t(column)];
        return number == kNone ? std::nullopt : std::optional<double>(number);
    };
    return {figure(LastAnswer), figure(ExchangeMs), figure(LossPercent), row->severity};
}

QString FleetModel::summaryText(const Summary &summary)
{
    return QString::number(summary.devices) + u" amplifiers: "_s + QString::number(summary.online)
           + u" online, "_s + QString::number(summary.notOnline) + u" offline, "_s
           + QString::number(summary.withAlarms) + u" with alarms"_s;
}

bool FleetModel::sameDevice(const Row &row, const tDevice &device)
{
    return row.deviceId == device.id;
}

// Rows follow the table in slot order. Devices keep their order when others
// are deleted and new ones come last, so one walk finds the rows whose
// device is gone (removed) and the devices without a row (inserted).
void FleetModel::refresh(const tDevices &devices, const StoredBlocks &blocks, qint64 nowNs)
{
    std::vector<quint64> live;
    live.reserve(std::size_t(devices.count()));
    for (int slot = 1; slot <= devices.count(); ++slot)
        live.push_back(devices[slot].id);
    std::sort(live.begin(), live.end());
    const auto gone = [&](const Row &row) { return !std::binary_search(live.begin(), live.end(), row.deviceId); };

    // Rows next to each other whose changes span the same columns are
    // signalled as one range.
    struct Range
    {
        int firstRow = 0;
        int lastRow = -1;
        Changes columns;
    } pending;
    const auto flush = [&] {
        if (pending.firstRow <= pending.lastRow)
            Q_EMIT dataChanged(index(pending.firstRow, pending.columns.first),
                               index(pending.lastRow, pending.columns.last));
        pending = {};
    };

    int at = 0;
    for (int slot = 1; slot <= devices.count(); ++slot) {
        int end = at;
        while (end < int(m_rows.size()) && gone(m_rows[std::size_t(end)]))
            ++end;
        if (end > at) {
            flush();
            removeRows(at, end - 1);
        }
        const tDevice &device = devices[slot];
        if (at < int(m_rows.size()) && sameDevice(m_rows[std::size_t(at)], device)) {
            const Changes changes = update(m_rows[std::size_t(at)], device, slot, blocks.has(device), nowNs);
            if (changes.first <= changes.last) {
                if (pending.lastRow != at - 1 || pending.columns.first != changes.first
                    || pending.columns.last != changes.last) {
                    flush();
                    pending = {at, at, changes};
                }
                pending.lastRow = at;
            }
            ++at;
            continue;
        }
        flush();
        // New devices: as many as follow without a row, in one insertion.
        int count = 1;
        while (slot + count <= devices.count()
               && !(at < int(m_rows.size()) && sameDevice(m_rows[std::size_t(at)], devices[slot + count])))
            ++count;
        beginInsertRows({}, at, at + count - 1);
        for (int i = 0; i < count; ++i)
            m_rows.insert(m_rows.begin() + at + i, newRow(devices[slot + i], slot + i, blocks.has(devices[slot + i]), nowNs));
        endInsertRows();
        at += count;
        slot += count - 1;
    }
    flush();
    if (at < int(m_rows.size()))
        removeRows(at, int(m_rows.size()) - 1);
}

void FleetModel::removeRows(int first, int last)
{
    beginRemoveRows({}, first, last);
    m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
    endRemoveRows();
}

FleetModel::Row FleetModel::newRow(const tDevice &device, int slot, bool hasBlock, qint64 nowNs) const
{
    Row row;
    row.deviceId = device.id;
    row.number.fill(kNone);
    update(row, device, slot, hasBlock, nowNs);
    return row;
}

void FleetModel::Changes::mark(int column)
{
    first = std::min(first, column);
    last = std::max(last, column);
}

namespace {

// Sets a cell's text when it differs; marks the column then.
void setText(QString &cell, QString text, int column, auto &changes)
{
    if (cell == text && !cell.isNull())
        return;
    cell = std::move(text);
    changes.mark(column);
}

} // namespace

FleetModel::Changes FleetModel::update(Row &row, const tDevice &device, int slot, bool hasBlock,
                                       qint64 nowNs) const
{
    Changes changes;
    // A cell whose number is unchanged keeps its text.
    const auto cell = [&](int column, double number, auto &&format) {
        const auto c = std::size_t(column);
        if (row.number[c] == number && !row.text[c].isNull())
            return;
        row.number[c] = number;
        setText(row.text[c], format(), column, changes);
    };
    const auto optionalCell = [&](int column, std::optional<double> value, int decimals) {
        const double number = value ? rounded(*value, decimals) : kNone;
        cell(column, number, [&] { return value ? fixed(number, decimals, m_decimalPoint) : kNotAnswered; });
    };

    row.slot = slot;
    cell(Slot, slot, [&] { return QString::number(slot); });
    setText(row.text[Name], device.name, Name, changes);
    setText(row.text[Group], device.group, Group, changes);
    cell(Address, addressSortKey(device.address), [&] { return device.address; });
    const int linkState = device.linkState();
    cell(Link, linkState, [&] { return linkText(linkState); });

    row.health.observe(nowNs, {quint32(device.requestCount()), quint32(device.successCount()),
                               device.lastExchangeMicroseconds(), device.lastSuccessNanoseconds()});
    optionalCell(LastAnswer, row.health.secondsSinceAnswer(nowNs), 1);
    optionalCell(ExchangeMs, row.health.medianExchangeMs(), 2);
    const std::optional<double> loss = row.health.lossPercent();
    optionalCell(LossPercent, loss, 1);
    row.lossWarning = lossWarning(row.lossWarning, loss);

    if (!hasBlock) {
        if (row.blockShown || row.text[ChannelA].isNull())
            showNoBlock(row, changes);
    } else if (!row.blockShown || std::memcmp(row.figures.data(), device.status.data(), kFigureBytes) != 0) {
        showBlock(row, device.status, changes);
    }

    // The worst-first order sorts on the first column; a proxy re-sorts a
    // row only when a change covers its sort column.
    const int severityNow = severity(linkState, row.blockSeverity, row.lossWarning);
    if (std::exchange(row.severity, severityNow) != severityNow)
        changes.mark(0);
    return changes;
}

int FleetModel::severity(int linkState, int blockSeverity, bool lossWarning)
{
    if (linkState != ThSocket::Online)
        return 3;
    return std::max(blockSeverity, lossWarning ? 1 : 0);
}

bool FleetModel::lossWarning(bool warned, std::optional<double> lossPercent)
{
    if (!lossPercent)
        return false;
    return warned ? *lossPercent >= kLossWarningLeavePercent : *lossPercent > kLossWarningPercent;
}

int FleetModel::blockSeverity(const StatusBlock &block, FigureLevels &levels)
{
    int severity = 0;
    for (int channel = 0; channel < 2; ++channel) {
        if (R::flag(block, Field::ChannelStateA + channel) == 0)
            severity = 2;
    }
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const FigureZones::Figure figure = FigureZones::kFigures[i];
        levels[i] = FigureZones::track(figure, levels[i], FigureZones::value(figure, block));
        severity = std::max(severity, int(levels[i]));
    }
    return severity;
}

void FleetModel::showNoBlock(Row &row, Changes &changes) const
{
    row.blockShown = false;
    row.blockSeverity = 0;
    row.levels = {};
    for (int column = ChannelA; column <= PeakB; ++column) {
        setText(row.text[std::size_t(column)], kNotAnswered, column, changes);
        row.number[std::size_t(column)] = kNone;
        row.raw[std::size_t(column)] = ~quint64(0);
    }
}

void FleetModel::showBlock(Row &row, const StatusBlock &block, Changes &changes) const
{
    using FigureZones::Figure;
    const bool wasShown = std::exchange(row.blockShown, true);
    std::memcpy(row.figures.data(), block.data(), kFigureBytes);
    row.blockSeverity = blockSeverity(block, row.levels);

    const auto bytes = [&](int offset, int width) {
        quint64 raw = 0;
        for (int i = 0; i < width; ++i)
            raw = raw << 8 | quint64{block[std::size_t(offset + i)]};
        return raw;
    };
    const auto cell = [&](int column, quint64 raw, double number, auto &&format) {
        const auto c = std::size_t(column);
        if (wasShown && row.raw[c] == raw)
            return;
        row.raw[c] = raw;
        row.number[c] = number;
        setText(row.text[c], format(), column, changes);
    };
    for (int channel = 0; channel < 2; ++channel) {
        const quint8 state = R::flag(block, Field::ChannelStateA + channel);
        const bool muted = R::flag(block, Field::MuteA + channel) == 0;
        cell(ChannelA + channel, quint64{state} << 1 | (muted ? 1u : 0u), state,
             [&] { return channelText(state, muted); });
    }
    cell(AmpTemperature, bytes(Field::SecondTemperature, Field::TemperatureWidth),
         FigureZones::value(Figure::AmplifierTemperature, block),
         [&] { return PanelFigures::temperature(block, Field::SecondTemperature); });
    cell(PsuTemperature, bytes(Field::FirstTemperature, Field::TemperatureWidth),
         FigureZones::value(Figure::PsuTemperature, block),
         [&] { return PanelFigures::temperature(block, Field::FirstTemperature); });
    const quint16 mains = R::value16(block, Field::AcInputVoltage);
    cell(Mains, mains, double(mains) * StatusScale::MainsVolts / StatusScale::FullScale,
         [&] { return PanelFigures::withUnit(mains, StatusScale::MainsVolts, PanelFigures::volts(), m_decimalPoint); });
    cell(Fan, bytes(Field::FanSpeed, 4), R::threeDigitValue(block, Field::FanSpeed),
         [&] { return R::displayText(block, Field::FanSpeed, 4); });
    for (int channel = 0; channel < 2; ++channel) {
        const quint16 peak = R::value16(block, Field::OutputPeakVoltageA + 2 * channel);
        cell(PeakA + channel, peak, double(peak) * StatusScale::OutputVolts / StatusScale::FullScale,
             [&] { return PanelFigures::withUnit(peak, StatusScale::OutputVolts, PanelFigures::volts(), m_decimalPoint); });
    }
}
