#pragma once

// The project file's content: the groups, each with its description and six
// channel settings, and the devices, each with its name, group and address,
// in table order. Reading and writing here are pure functions of bytes; the
// file system is projectio.h's business, the tables projecttables.h's.
//
// readProject() is the entry point for fuzzing the project loader: it takes
// any bytes and returns in time and memory bounded by their size and by the
// table capacity, whatever counts the file claims.

#include "scene.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>

struct ProjectGroup
{
    QString name;
    QString description;
    quint8 volumeA = 0;
    quint8 volumeB = 0;
    quint8 inputLevelA = 0;
    quint8 inputLevelB = 0;
    quint8 limiterA = 0;
    quint8 limiterB = 0;
    // No scene recall touches the group. Kept as "RecallSafe=1" in the
    // group's section, written only when set (or when the file held it).
    bool recallSafe = false;
};

struct ProjectDevice
{
    QString name;
    QString group;
    QString address;
};

// The section "Remote": the set-up of the remote interfaces, key by key as
// the file holds it (an absent key is empty); what the values mean is
// checked by whoever applies them. Written after every other section, and
// only the keys that are set, so a project without remote interfaces is
// written exactly as it always was.
struct ProjectRemote
{
    static constexpr QStringView kKeys[] = {u"HttpPort", u"HttpListen", u"OscPort", u"OscListen", u"OscAllow"};
    std::array<QString, std::size(kKeys)> values{};

    bool isEmpty() const
    {
        return std::all_of(values.cbegin(), values.cend(), [](const QString &value) { return value.isEmpty(); });
    }
};

struct Project
{
    // Each list holds at most kCapacity entries.
    static constexpr int kCapacity = 255;

    QList<ProjectGroup> groups;
    QList<ProjectDevice> devices;
    ProjectRemote remote{};
    // In list order; see scenesections.h for their sections.
    QList<Scene> scenes;
    // What was wrong in the scene sections, one sentence each naming the
    // section; the project was read all the same.
    QStringList sceneWarnings;
    // The file counted more groups or devices than the tables hold; only the
    // first kCapacity of each were read.
    bool leftOut = false;
};

// None when the bytes do not carry the project signature (an empty file, a
// file that is not INI text, one of another program).
std::optional<Project> readProject(const QByteArray &bytes);

// The project written into an existing file's text (empty for a new file),
// updating it in place: lines that the project does not write stay, surplus
// group and device sections included. A name's blanks that pad it to five
// characters are written bare, as such files have always held them; they
// are lost on reading and the add operations put them back.
QByteArray writeProject(const Project &project, const QByteArray &existing = {});
