#pragma once

// A scene: a stored set of group settings and mutes that is recalled in one
// move. Plain values on QtCore only; the scene list (scenelist.h) keeps them,
// the recall planning (scenerecall.h) turns one into requests.
//
// Units are those of the group table: levels are stored values 0..191
// (-95.5 dB + value * 0.5 dB), limiters volts 10..170. Group names are held
// as the group table holds them (normalised, padded to five characters) and
// compared exactly.

#include <QFlags>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>

// The kinds of setting a scene may cover. The volume's and input level's
// channel links go with the levels, the limiter's link with the limiters.
enum class SceneKind : quint8 { Levels = 0x1, Limiters = 0x2, Mutes = 0x4 };
Q_DECLARE_FLAGS(SceneKinds, SceneKind)
Q_DECLARE_OPERATORS_FOR_FLAGS(SceneKinds)

inline constexpr SceneKinds kAllSceneKinds = SceneKind::Levels | SceneKind::Limiters | SceneKind::Mutes;
inline constexpr std::array<SceneKind, 3> kSceneKindOrder = {SceneKind::Levels, SceneKind::Limiters,
                                                              SceneKind::Mutes};

// "levels", "limiters", "mutes": the words the project file, OSC and HTTP use.
QString sceneKindWord(SceneKind kind);
// The words of the kinds that are set, in kSceneKindOrder.
QStringList sceneKindWords(SceneKinds kinds);

// A group's mute as a whole. Leave: its amplifiers' channels were not all
// muted nor all un-muted (or it had none), so a recall leaves them alone.
enum class GroupMute : quint8 { Unmuted, Muted, Leave };

// Muted when every channel is, Unmuted when none is, else Leave.
GroupMute groupMuteOf(int mutedChannels, int channels);

// What a scene holds of one group, and what the live state of a group is.
struct GroupState
{
    static constexpr int kLevelMaximum = 191;  // as the volume and input level faders
    static constexpr int kLimiterFloor = 10;   // volts, as the limiter faders
    static constexpr int kLimiterCeiling = 170;

    quint8 volumeA = 0;
    quint8 volumeB = 0;
    quint8 inputLevelA = 0;
    quint8 inputLevelB = 0;
    quint8 limiterA = kLimiterFloor;
    quint8 limiterB = kLimiterFloor;
    bool volumeLink = false;
    bool inputLevelLink = false;
    bool limiterLink = false;
    GroupMute mute = GroupMute::Leave;

    bool operator==(const GroupState &) const = default;
};

struct NamedGroupState
{
    QString group;
    GroupState state;

    bool operator==(const NamedGroupState &) const = default;
};

// Which groups and kinds a recall touches. allGroups covers every group the
// scene holds values for; otherwise only the groups named.
struct SceneScope
{
    bool allGroups = true;
    QStringList groups;
    SceneKinds kinds = kAllSceneKinds;

    bool covers(QStringView group) const { return allGroups || groups.contains(group); }
    bool operator==(const SceneScope &) const = default;
};

struct Scene
{
    static constexpr int kMinNumber = 1;
    static constexpr int kMaxNumber = 99;
    static constexpr int kMaxNameLength = 32;
    static constexpr int kMaxFadeMs = 30'000;

    int number = kMinNumber;
    QString name;       // never empty in a list; see defaultSceneName
    SceneScope scope;
    int fadeMs = 0;     // 0..kMaxFadeMs: how long the levels travel at a recall
    // The values of every group at store time, in group table order.
    QList<NamedGroupState> groups;

    bool operator==(const Scene &) const = default;
};

// "Scene 7": the name of a scene stored without one.
QString defaultSceneName(int number);

enum class SceneNameCheck { Fine, TooLong, ControlCharacter };
// Checks a name as typed, blanks at its ends not counted.
SceneNameCheck checkSceneName(QStringView name);
// A name that passes checkSceneName: control characters become blanks, the
// ends are trimmed and the rest cut to kMaxNameLength; empty when nothing is
// left (the caller then takes the default name).
QString cleanSceneName(QStringView name);
