#pragma once

// The group table: up to 255 named groups, each carrying the channel settings
// that the controller keeps sending to every amplifier of the group.
// Belongs to the main thread; every function here is called on it.
//
// Names change only through addGroup, removeGroup and clearCount: the lookups
// keep an index of the names and remember their answers per device group
// text, and those three functions renew both. Code that holds an entry (by
// operator[] or a tGroupItem pointer) may change its settings and
// description, never its name.

#include <QHashFunctions>
#include <QObject>
#include <QString>
#include <QStringView>

#include <array>
#include <functional>
#include <unordered_map>

// Names a group for the whole run: given when the group enters the table,
// kept while it stays, never given again; 0 names none. Everything outside
// the table tells groups apart by it, never by slot or name.
using GroupId = quint64;

// The three pairs of faders whose channels A and B can move together.
enum class GroupLink { Volume, InputLevel, Limiter };

struct tGroupItem
{
    GroupId id = 0;        // given by tGroup::addGroup
    QString name;          // normalised, padded to at least 5 characters, unique;
                           // written by tGroup only (see above)
    QString description;   // free text typed by the operator
    quint8 volumeA = 0;    // 0..191 from the faders; -95.5 dB + value * 0.5 dB
    quint8 volumeB = 0;
    quint8 inputLevelA = 0;
    quint8 inputLevelB = 0;
    quint8 limiterA = 10;  // 10..170 from the faders, in volts
    quint8 limiterB = 10;
    quint8 volumeLink = 0;      // 0 or 1: channels A and B move together
    quint8 inputLevelLink = 0;
    quint8 limiterLink = 0;

    quint8 &link(GroupLink which)
    {
        return which == GroupLink::Volume ? volumeLink : which == GroupLink::InputLevel ? inputLevelLink : limiterLink;
    }
    bool linked(GroupLink which) const
    {
        return (which == GroupLink::Volume ? volumeLink : which == GroupLink::InputLevel ? inputLevelLink : limiterLink)
               != 0;
    }
};

class tGroup final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kCapacity = 255;

    enum class AddResult { Added, Exists, Full };

    explicit tGroup(QObject *parent = nullptr);

    int count() const { return m_count; }

    // Slot access, slots 1..count. The project loader and the fader and
    // properties windows write the settings of entries directly, never names.
    tGroupItem &operator[](int slot) { return m_items[static_cast<std::size_t>(slot)]; }
    const tGroupItem &operator[](int slot) const { return m_items[static_cast<std::size_t>(slot)]; }

    // Adds a group unless one of that name exists. The name is normalised and
    // padded first. A 256th group is refused and nothing is written.
    AddResult addGroup(QStringView name);

    // Slot 1..count of the group with this id; 0 for none (it left the table).
    int slotOfGroup(GroupId id) const;
    // The id of a slot's group; 0 for a slot outside 1..count.
    GroupId idOfSlot(int slot) const { return slot >= 1 && slot <= m_count ? (*this)[slot].id : 0; }

    // Slot of the group whose name equals the text exactly; 0 if none.
    int findGroup(QStringView name) const;

    // Slot of the group a device with this group text belongs to: the group
    // of exactly that name, else the group its text names once normalised and
    // padded, as the add-group operation stores it. A device may report its
    // group padded with zero bytes ("AB") or with characters that
    // normalisation changes ("A-B"); the tree shows it under that group and
    // it is sent that group's settings. 0 if neither exists.
    // The polling tick asks this for every device every millisecond: after the
    // first call for a text it costs one hash lookup and allocates nothing.
    // Remembering the answers makes this const function unsafe to call from
    // two threads at once; like the rest of the table it runs on the main one.
    int findGroupOfDevice(QStringView deviceGroup) const;

    // Changes whenever a group is added or removed or the table emptied, so
    // that a caller may remember findGroupOfDevice's answers itself.
    quint64 namesVersion() const { return m_namesVersion; }

    // Removes the group of a slot, moving later groups down one slot.
    void removeGroup(int slot);

    // Empties the table without touching the entries' contents (project load).
    void clearCount();

Q_SIGNALS:
    // The set of groups changed: the device panel's group selector refills.
    void groupsChanged();

private:
    // Lets the maps below be searched with a QStringView, without a QString.
    struct NameHash
    {
        using is_transparent = void;
        std::size_t operator()(QStringView text) const noexcept
        {
            return qHash(text, QHashSeed::globalSeed());
        }
    };
    using SlotByName = std::unordered_map<QString, int, NameHash, std::equal_to<>>;

    // Device group texts come from the network; a device that keeps reporting
    // new ones must not make the remembered answers grow without end.
    static constexpr std::size_t kMaxRememberedTexts = 4 * kCapacity;

    void indexNames();
    void namesChanged();

    std::array<tGroupItem, kCapacity + 1> m_items{};
    int m_count = 0;
    GroupId m_lastId = 0;  // ids are never given twice in a run
    quint64 m_namesVersion = 0;
    SlotByName m_slotByName;                     // names of slots 1..count
    mutable SlotByName m_groupOfDeviceText;      // findGroupOfDevice's answers, 0 included
};
