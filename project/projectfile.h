#pragma once

// The project file's content: the groups, each with its description and six
// channel settings, and the devices, each with its name, group and address,
// in table order. Reading and writing here are pure functions of bytes; the
// file system is projectio.h's business, the tables projecttables.h's.
//
// readProject() is the entry point for fuzzing the project loader: it takes
// any bytes and returns in time and memory bounded by their size and by the
// table capacity, whatever counts the file claims.

#include <QByteArray>
#include <QList>
#include <QString>

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
};

struct ProjectDevice
{
    QString name;
    QString group;
    QString address;
};

struct Project
{
    // Each list holds at most kCapacity entries.
    static constexpr int kCapacity = 255;

    QList<ProjectGroup> groups;
    QList<ProjectDevice> devices;
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
