#pragma once

// What the monitor reports, as plain values copied from the controller on
// the main thread: the formatting of every answer works from these alone, on
// any thread, and tests build them without a controller or a socket.

#include "scene.h"
#include "statusblock.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace MonitorViews {

enum class Link { NoAnswerYet, Offline, Online };

// The bytes of a status block before its histories: every figure the
// monitor reports, a fortieth of the block to copy on the main thread.
inline constexpr int kFigureBytes = StatusField::FirstHistory;
using FigureBytes = std::array<quint8, kFigureBytes>;
FigureBytes figureBytesOf(const StatusBlock &block);

struct Device
{
    quint64 id = 0;
    int slot = 0;     // 1..255, the table's order
    QString name;     // as the table holds them: padded with blanks
    QString group;
    QString address;  // dotted IPv4
    Link link = Link::NoAnswerYet;
    std::optional<double> secondsSinceAnswer;
    std::optional<double> medianExchangeMs;
    std::optional<double> lossPercent;  // over the last minute
    int severity = 0;                   // 0..3, as the Fleet window ranks it
    quint64 pollAttempts = 0;
    quint64 pollFailures = 0;
    std::optional<FigureBytes> block;  // once a block was stored: its figures are readings
};

struct Group
{
    QString name;  // padded with blanks
    QString description;
    std::array<int, 6> settings{};  // 0..255, in the order of the faders: volume A, B, input A, B, limiter A, B
    bool volumeLink = false;
    bool inputLevelLink = false;
    bool limiterLink = false;
    QList<quint64> deviceIds;  // in slot order
};

// The scene list shares the core's own values: copying it costs a count,
// and the core's next edit makes a copy of its own.
struct Scenes
{
    int current = 0;  // 0: none
    bool modified = false;
    QList<::Scene> scenes;  // in the list's order
};

enum class Severity { Info, Warning, Alarm };
inline constexpr int kSeverityCount = 3;

struct Event
{
    quint64 id = 0;  // rising by one per event
    QDateTime time;
    Severity severity = Severity::Info;
    quint64 deviceId = 0;  // 0: the program or a group
    QString amplifier;
    QString text;
    QString source;  // "window", "OSC 127.0.0.1", ...
};

struct Controller
{
    int devices = 0;
    int groups = 0;
    std::array<quint64, kSeverityCount> eventsBySeverity{};  // since the start
    quint64 httpRequests = 0;  // served and refused
    quint64 httpRefused = 0;
    bool tickRunning = true;  // what /healthz answers
    int currentScene = 0;     // 0: none
    quint64 sceneRecalls = 0;
};

QString severityName(Severity severity);  // "info", "warning", "alarm"
QString linkName(Link link);              // "online", "offline", "no answer yet"

} // namespace MonitorViews
