#pragma once

// The six group faders and their drag: volume, input level and limiter, each
// for channel A and channel B. A fader's position counts eighths of a step, so
// that a fine drag (one eighth per pixel) can move it by less than a step;
// only whole steps reach the group. Main thread only.

#include <QString>

#include <array>

struct tGroupItem;

// A group's six settings in the faders' order (volume A, volume B, input
// level A, input level B, limiter A, limiter B), in stored units: a level
// 0..191, a limiter 10..170 volts.
using GroupSettingValues = std::array<int, 6>;

struct tFaderItem
{
    int position = 0;  // eighths of a step, 0..8 * maximum
    int value = 0;     // position / 8, truncated
    int maximum = 0;   // 191 for volume and input level, 160 for the limiter
};

class FaderTable final
{
public:
    static constexpr int kCount = 6;
    // Entries, 1-based in the order of the faders on screen.
    enum Entry { VolumeA = 1, VolumeB, InputLevelA, InputLevelB, LimiterA, LimiterB };
    static constexpr int kLevelMaximum = 191;
    static constexpr int kLimiterMaximum = 160;
    static constexpr int kLimiterFloor = 10;  // volts; a limiter value 0 stores this
    static constexpr int kTravel = 163;       // pixels of knob travel over the whole range
    static constexpr int kStepEighths = 8;

    FaderTable();

    tFaderItem &operator[](int entry) { return m_items[static_cast<std::size_t>(entry - 1)]; }
    const tFaderItem &operator[](int entry) const { return m_items[static_cast<std::size_t>(entry - 1)]; }

    // Takes the group's six values as the positions and applies them. The
    // windows load a copy of the core's record and hand the core the result.
    void loadGroup(tGroupItem &group);

    // Copies the last dragged fader over its partner when their link is on,
    // cuts the positions to whole values and stores them into the group.
    void apply(tGroupItem &group);

    // The drag. The rows are the cursor's screen rows; a move computes its
    // movement from the row of the previous one, not from the event.
    void press(int entry, int cursorRow);
    // fine: one eighth of a step per pixel (Shift). Without a group nothing
    // moves and nothing is stored.
    void move(int cursorRow, bool fine, tGroupItem *group);
    // The cursor was put elsewhere (the edge wrap); no movement results.
    void cursorMovedTo(int cursorRow) { m_lastCursorRow = cursorRow; }
    void release() { m_dragging = false; }

    bool dragging() const { return m_dragging; }
    // The last pressed fader, kept after the release; 0 before the first.
    int draggedEntry() const { return m_dragged; }
    int lastCursorRow() const { return m_lastCursorRow; }

    // The partner of an entry (1<->2, 3<->4, 5<->6).
    static int partner(int entry);
    // The group's link flag that ties the entry to its partner.
    static bool linked(const tGroupItem &group, int entry);
    static void flipLink(tGroupItem &group, int pairFirstEntry);
    // The value the group stores for an entry (limiter in volts).
    static int storedValue(const tGroupItem &group, int entry);
    // Sets an entry as dragging its fader to this stored value and letting
    // go would: clamped to the fader's range, a linked partner following.
    static void dragTo(tGroupItem &group, int entry, int value);

    // Distance of the knob's top edge above its lowest place, 0..kTravel:
    // kTravel * value / maximum rounded half to even.
    static int knobRise(int value, int maximum);
    // "-95.5 dB" for a level, "10.0 V" for a limiter, from the stored value.
    static QString labelText(const tGroupItem &group, int entry);

    // The figure the label shows for a stored value, as a number: dB for a
    // level (-95.5..0.0), volts for a limiter (10..170).
    static double labelUnits(int entry, int storedValue);
    // The stored value nearest to a figure in the label's unit, clamped to
    // the fader's range (a level 0..191, a limiter 10..170); a figure halfway
    // between two steps goes to the upper one. units must be finite.
    static int storedValueFromUnits(int entry, double units);
    // The stored value that many fader steps above (below, when negative)
    // the given one, clamped to the fader's range.
    static int storedValueAfterSteps(int entry, int storedValue, qint64 steps);
    // The six values a group stores, in the entries' order.
    static GroupSettingValues valuesOf(const tGroupItem &group);
    // Stores six values into a group, each clamped to its fader's range.
    static void store(tGroupItem &group, const GroupSettingValues &values);

    // The range of stored values of an entry.
    static int lowestStoredValue(int entry);
    static int highestStoredValue(int entry);

private:
    std::array<tFaderItem, kCount> m_items{};
    bool m_dragging = false;
    int m_dragged = 0;
    int m_lastCursorRow = 0;
};
