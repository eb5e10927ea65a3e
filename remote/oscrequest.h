#pragma once

// What an OSC message asks for, read from its address and arguments alone,
// before any name is looked up in the tables:
//
//   /amp/ping                                   no argument
//   /amp/subscribe                              no argument, or int port 1..65535
//   /amp/group/<group>/mute                     int 1/0, or True/False
//   /amp/group/<group>/mute/toggle              no argument
//   /amp/group/<group>/<setting>/<a|b>          float: dB (volume, input), V (limiter)
//   /amp/group/<group>/<setting>/<a|b>/step     int: fader steps, up when positive
//   /amp/group/<group>/link/<setting>           int 1/0: channels A and B together
//   /amp/group/<group>/safe                     int 1/0: recall safe
//   /amp/device/<device>/mute/<a|b>             int 1/0
//   /amp/scene/recall                           int number 1..99, or string name
//   /amp/scene/next, /amp/scene/previous        no argument
//   /amp/scene/undo                             no argument
//   /amp/scene/store                            int number 1..99, then optionally string name
//
// <setting> is volume, input or limiter. The words are lower case; the
// <group> and <device> names are kept as sent and matched later (oscnames.h);
// a name holding anything but printable ASCII outside #*,?[]{} is refused.
// A scene name is UTF-8 of at most Scene::kMaxNameLength characters without
// control characters; recall needs one that is not blank.
// Anything else, other argument types or counts, a non-finite float, or an
// address or name longer than the bounds below, is no request.
//
// Pure functions, any thread.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <span>

// One decoded argument: its OSC type tag and, for 'i', 'f' and 's', its value.
struct OscArgument
{
    char type = 0;
    qint32 i = 0;
    float f = 0.0F;
    QByteArray s;  // 's': the string's bytes, without the terminating zero
};

struct OscRequest
{
    enum class Kind {
        Ping,
        Subscribe,
        GroupMute,
        GroupMuteToggle,
        GroupSetting,
        GroupSettingStep,
        GroupLink,
        DeviceMute,
        GroupRecallSafe,
        SceneRecall,
        SceneNext,
        ScenePrevious,
        SceneUndo,
        SceneStore
    };

    Kind kind = Kind::Ping;
    QString name;        // the group or device as the address names it; empty for ping and subscribe
    int entry = 0;       // GroupSetting(Step): FaderTable::Entry 1..6; GroupLink: 1, 3 or 5, the pair's A
    int channel = 0;     // DeviceMute: 0 channel A, 1 channel B
    bool on = false;     // GroupMute, GroupLink, DeviceMute, GroupRecallSafe
    double units = 0.0;  // GroupSetting: dB or V, finite
    qint32 steps = 0;    // GroupSettingStep
    quint16 port = 0;    // Subscribe: where feedback goes; 0 for the sender's own port
    int scene = 0;       // SceneRecall, SceneStore: the number; 0 for a recall by name
    QString sceneName;   // SceneRecall by name, SceneStore: as sent (may be empty for a store)
};

namespace OscRequests {

inline constexpr qsizetype kMaxAddressBytes = 256;
inline constexpr qsizetype kMaxNameBytes = 64;
inline constexpr qsizetype kMaxArguments = 4;

std::optional<OscRequest> parse(QByteArrayView address, std::span<const OscArgument> arguments);

} // namespace OscRequests
