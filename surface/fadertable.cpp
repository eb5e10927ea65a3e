#include "fadertable.h"

#include "grouptable.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

bool isLimiter(int entry)
{
    return entry >= FaderTable::LimiterA;
}

// A level's label: -95.5 dB at stored value 0, half a decibel per step.
constexpr double kLevelFloorDb = -95.5;
constexpr double kLevelStepDb = 0.5;

quint8 lowByte(int value)
{
    return static_cast<quint8>(value & 0xff);
}

} // namespace

FaderTable::FaderTable()
{
    for (int entry = 1; entry <= kCount; ++entry)
        (*this)[entry].maximum = isLimiter(entry) ? kLimiterMaximum : kLevelMaximum;
}

void FaderTable::loadGroup(tGroupItem &group)
{
    (*this)[VolumeA].position = group.volumeA * kStepEighths;
    (*this)[VolumeB].position = group.volumeB * kStepEighths;
    (*this)[InputLevelA].position = group.inputLevelA * kStepEighths;
    (*this)[InputLevelB].position = group.inputLevelB * kStepEighths;
    (*this)[LimiterA].position = std::max(group.limiterA - kLimiterFloor, 0) * kStepEighths;
    (*this)[LimiterB].position = std::max(group.limiterB - kLimiterFloor, 0) * kStepEighths;
    apply(group);
}

void FaderTable::apply(tGroupItem &group)
{
    if (m_dragged != 0 && linked(group, m_dragged))
        (*this)[partner(m_dragged)].position = (*this)[m_dragged].position;

    for (tFaderItem &item : m_items)
        item.value = item.position / kStepEighths;

    group.volumeA = lowByte((*this)[VolumeA].value);
    group.volumeB = lowByte((*this)[VolumeB].value);
    group.inputLevelA = lowByte((*this)[InputLevelA].value);
    group.inputLevelB = lowByte((*this)[InputLevelB].value);
    group.limiterA = lowByte((*this)[LimiterA].value + kLimiterFloor);
    group.limiterB = lowByte((*this)[LimiterB].value + kLimiterFloor);
}

void FaderTable::press(int entry, int cursorRow)
{
    m_dragged = entry;
    m_lastCursorRow = cursorRow;
    m_dragging = true;
}

void FaderTable::move(int cursorRow, bool fine, tGroupItem *group)
{
    if (!m_dragging || m_dragged == 0 || !group)
        return;
    tFaderItem &item = (*this)[m_dragged];
    const int movement = cursorRow - m_lastCursorRow;  // positive downward
    // Truncating each move's share means many small moves cover less ground
    // than one long one; that is how the faders have always felt.
    item.position -= fine ? movement : movement * kStepEighths * item.maximum / kTravel;
    item.position = std::clamp(item.position, 0, kStepEighths * item.maximum);
    apply(*group);
    m_lastCursorRow = cursorRow;
}

int FaderTable::partner(int entry)
{
    return entry % 2 == 1 ? entry + 1 : entry - 1;
}

bool FaderTable::linked(const tGroupItem &group, int entry)
{
    switch (entry) {
    case VolumeA:
    case VolumeB:
        return group.volumeLink != 0;
    case InputLevelA:
    case InputLevelB:
        return group.inputLevelLink != 0;
    default:
        return group.limiterLink != 0;
    }
}

void FaderTable::flipLink(tGroupItem &group, int pairFirstEntry)
{
    quint8 &link = pairFirstEntry == VolumeA       ? group.volumeLink
                   : pairFirstEntry == InputLevelA ? group.inputLevelLink
                                                   : group.limiterLink;
    link = link == 0 ? 1 : 0;
}

int FaderTable::storedValue(const tGroupItem &group, int entry)
{
    const quint8 values[] = {group.volumeA,     group.volumeB,  group.inputLevelA,
                             group.inputLevelB, group.limiterA, group.limiterB};
    return values[entry - 1];
}

void FaderTable::dragTo(tGroupItem &group, int entry, int value)
{
    FaderTable faders;
    faders.loadGroup(group);
    tFaderItem &item = faders[entry];
    const int steps = value - lowestStoredValue(entry);
    item.position = std::clamp(steps, 0, item.maximum) * kStepEighths;
    faders.m_dragged = entry;
    faders.apply(group);
}

int FaderTable::knobRise(int value, int maximum)
{
    const int numerator = kTravel * value;
    int rise = numerator / maximum;
    const int twiceRemainder = 2 * (numerator % maximum);
    if (twiceRemainder > maximum || (twiceRemainder == maximum && rise % 2 == 1))
        ++rise;
    return rise;
}

QString FaderTable::labelText(const tGroupItem &group, int entry)
{
    using namespace Qt::StringLiterals;
    const int stored = storedValue(group, entry);
    if (isLimiter(entry))
        return QLocale().toString(double(stored), 'f', 1) + u" V"_s;
    return QLocale().toString(labelUnits(entry, stored), 'f', 1) + u" dB"_s;
}

double FaderTable::labelUnits(int entry, int storedValue)
{
    if (isLimiter(entry))
        return storedValue;
    return storedValue * kLevelStepDb + kLevelFloorDb;
}

GroupSettingValues FaderTable::valuesOf(const tGroupItem &group)
{
    return {group.volumeA, group.volumeB, group.inputLevelA, group.inputLevelB, group.limiterA, group.limiterB};
}

void FaderTable::store(tGroupItem &group, const GroupSettingValues &values)
{
    quint8 *const fields[] = {&group.volumeA,     &group.volumeB,  &group.inputLevelA,
                              &group.inputLevelB, &group.limiterA, &group.limiterB};
    for (int entry = 1; entry <= kCount; ++entry) {
        const int value = values[static_cast<std::size_t>(entry - 1)];
        *fields[entry - 1] = lowByte(std::clamp(value, lowestStoredValue(entry), highestStoredValue(entry)));
    }
}

int FaderTable::lowestStoredValue(int entry)
{
    return isLimiter(entry) ? kLimiterFloor : 0;
}

int FaderTable::highestStoredValue(int entry)
{
    return isLimiter(entry) ? kLimiterFloor + kLimiterMaximum : kLevelMaximum;
}

int FaderTable::storedValueFromUnits(int entry, double units)
{
    const double steps = isLimiter(entry) ? units : (units - kLevelFloorDb) / kLevelStepDb;
    // Clamped while still a double, so that no figure overflows the int.
    const double clamped = std::clamp(steps, double(lowestStoredValue(entry)), double(highestStoredValue(entry)));
    return int(std::floor(clamped + 0.5));
}

int FaderTable::storedValueAfterSteps(int entry, int storedValue, qint64 steps)
{
    return int(std::clamp<qint64>(storedValue + steps, lowestStoredValue(entry), highestStoredValue(entry)));
}
