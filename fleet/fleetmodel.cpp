#include "fleetmodel.h"

#include "ipaddress.h"
#include "panelfigures.h"
#include "thsocket.h"

#include <QLocale>

#include <algorithm>

using namespace Qt::StringLiterals;
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

FleetModel::FleetModel(const FleetHealth &health, QObject *parent)
    : QAbstractTableModel(parent),
      m_health(health),
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

QString FleetModel::summaryText(const FleetHealth::Summary &summary)
{
    return QString::number(summary.devices) + u" amplifiers: "_s + QString::number(summary.online)
           + u" online, "_s + QString::number(summary.notOnline) + u" offline, "_s
           + QString::number(summary.withAlarms) + u" with alarms"_s;
}

// Rows follow the health in slot order. Devices keep their order when
// others are deleted and new ones come last, so one walk finds the rows whose
// device is gone (removed) and the devices without a row (inserted).
void FleetModel::refresh()
{
    const std::vector<DeviceHealth> &devices = m_health.devices();
    std::vector<quint64> live;
    live.reserve(devices.size());
    for (const DeviceHealth &device : devices)
        live.push_back(device.id);
    std::sort(live.begin(), live.end());
    const auto gone = [&](const Row &row) { return !std::binary_search(live.begin(), live.end(), row.deviceId); };
    const auto rowOf = [&](int at, const DeviceHealth &device) {
        return at < int(m_rows.size()) && m_rows[std::size_t(at)].deviceId == device.id;
    };

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
    const int count = int(devices.size());
    for (int i = 0; i < count; ++i) {
        int end = at;
        while (end < int(m_rows.size()) && gone(m_rows[std::size_t(end)]))
            ++end;
        if (end > at) {
            flush();
            eraseRows(at, end - 1);
        }
        const DeviceHealth &device = devices[std::size_t(i)];
        if (rowOf(at, device)) {
            const Changes changes = update(m_rows[std::size_t(at)], device);
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
        int added = 1;
        while (i + added < count && !rowOf(at, devices[std::size_t(i + added)]))
            ++added;
        beginInsertRows({}, at, at + added - 1);
        for (int k = 0; k < added; ++k)
            m_rows.insert(m_rows.begin() + at + k, newRow(devices[std::size_t(i + k)]));
        endInsertRows();
        at += added;
        i += added - 1;
    }
    flush();
    if (at < int(m_rows.size()))
        eraseRows(at, int(m_rows.size()) - 1);
}

void FleetModel::eraseRows(int first, int last)
{
    beginRemoveRows({}, first, last);
    m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
    endRemoveRows();
}

FleetModel::Row FleetModel::newRow(const DeviceHealth &health) const
{
    Row row;
    row.deviceId = health.id;
    row.number.fill(kNone);
    update(row, health);
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

FleetModel::Changes FleetModel::update(Row &row, const DeviceHealth &health) const
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
        const double number = value ? *value : kNone;
        cell(column, number, [&] { return value ? fixed(number, decimals, m_decimalPoint) : kNotAnswered; });
    };

    row.slot = health.slot;
    cell(Slot, health.slot, [&] { return QString::number(health.slot); });
    setText(row.text[Name], health.name, Name, changes);
    setText(row.text[Group], health.group, Group, changes);
    cell(Address, addressSortKey(health.address), [&] { return health.address; });
    cell(Link, health.linkState, [&] { return linkText(health.linkState); });
    optionalCell(LastAnswer, health.secondsSinceAnswer, 1);
    optionalCell(ExchangeMs, health.medianExchangeMs, 2);
    optionalCell(LossPercent, health.lossPercent, 1);

    if (!health.readings) {
        if (row.shown || row.text[ChannelA].isNull())
            showNoBlock(row, changes);
    } else if (!row.shown || *row.shown != *health.readings) {
        showBlock(row, *health.readings, changes);
    }

    // The worst-first order sorts on the first column; a proxy re-sorts a
    // row only when a change covers its sort column.
    if (std::exchange(row.severity, health.severity) != health.severity)
        changes.mark(0);
    return changes;
}

void FleetModel::showNoBlock(Row &row, Changes &changes) const
{
    row.shown.reset();
    for (int column = ChannelA; column <= PeakB; ++column) {
        setText(row.text[std::size_t(column)], kNotAnswered, column, changes);
        row.number[std::size_t(column)] = kNone;
    }
}

void FleetModel::showBlock(Row &row, const PanelReadings &readings, Changes &changes) const
{
    const std::optional<PanelReadings> was = std::exchange(row.shown, readings);
    // A cell is formatted again when its reading changed, or the block is new.
    const auto cell = [&](int column, bool same, double number, auto &&format) {
        if (was && same)
            return;
        row.number[std::size_t(column)] = number;
        setText(row.text[std::size_t(column)], format(), column, changes);
    };
    const auto volts = [&](quint16 raw, int scale) {
        return PanelFigures::withUnit(raw, scale, PanelFigures::volts(), m_decimalPoint);
    };
    for (std::size_t channel = 0; channel < 2; ++channel) {
        const ChannelReading &reading = readings.channels[channel];
        cell(ChannelA + int(channel), was && was->channels[channel] == reading, reading.state,
             [&] { return channelText(reading.state, reading.muted); });
    }
    cell(AmpTemperature, was && was->amplifierTemperature == readings.amplifierTemperature,
         readings.amplifierTemperature.value,
         [&] { return readings.amplifierTemperature.characters + u" \u00B0C"_s; });
    cell(PsuTemperature, was && was->psuTemperature == readings.psuTemperature, readings.psuTemperature.value,
         [&] { return readings.psuTemperature.characters + u" \u00B0C"_s; });
    cell(Mains, was && was->mainsRaw == readings.mainsRaw,
         PanelReadings::volts(readings.mainsRaw, StatusScale::MainsVolts),
         [&] { return volts(readings.mainsRaw, StatusScale::MainsVolts); });
    cell(Fan, was && was->fan == readings.fan, readings.fan.value, [&] { return readings.fan.characters; });
    for (std::size_t channel = 0; channel < 2; ++channel) {
        const quint16 peak = readings.peakRaw[channel];
        cell(PeakA + int(channel), was && was->peakRaw[channel] == peak,
             PanelReadings::volts(peak, StatusScale::OutputVolts),
             [&] { return volts(peak, StatusScale::OutputVolts); });
    }
}
