// Saving and loading a full project: 255 groups and 255 devices, with short
// descriptions and with descriptions of the longest readable length. Prints
// the median of each step in milliseconds.
//
//   projectbench [--rounds N]
//
// Loading starts a poll worker per device; the devices are on loopback
// addresses at a port where nothing listens, so each sends one refused
// connection and nothing else leaves the machine.

#include "devicetable.h"
#include "grouptable.h"
#include "inifile.h"
#include "projectfile.h"
#include "projectio.h"
#include "projecttables.h"
#include "benchtiming.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr quint16 kUnusedPort = 9;  // discard; nothing listens on loopback here

template <typename Work>
double medianMilliseconds(int rounds, Work work)
{
    std::vector<qint64> samples;
    QElapsedTimer clock;
    for (int round = 0; round < rounds; ++round) {
        clock.start();
        work();
        samples.push_back(clock.nsecsElapsed());
        QCoreApplication::processEvents();  // lets stopped workers be released
    }
    std::sort(samples.begin(), samples.end());
    return double(samples[samples.size() / 2]) / 1e6;
}

void fill(tDevices &devices, tGroup &groups, qsizetype descriptionLength)
{
    for (int n = 1; n <= tGroup::kCapacity; ++n) {
        groups.addGroup(u"G%1"_s.arg(n, 3, 10, QChar(u'0')));
        groups[n].description = QString(descriptionLength, QChar(u'\u00e9'));
        groups[n].volumeA = static_cast<quint8>(n);
    }
    for (int k = 1; k <= tDevices::kCapacity; ++k) {
        devices.appendDevice(u"A%1 "_s.arg(k, 3, 10, QChar(u'0')), groups[k].name,
                             u"127.0.3."_s + QString::number(k));
    }
}

void measure(const char *label, qsizetype descriptionLength, int rounds)
{
    tDevices devices(kUnusedPort);
    tGroup groups;
    fill(devices, groups, descriptionLength);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"full.amp"_s);
    saveProjectFile(path, projectFromTables(devices, groups));
    const QByteArray bytes = readProjectFile(path).value_or(QByteArray());

    const double write = medianMilliseconds(rounds, [&] {
        writeProject(projectFromTables(devices, groups));
    });
    const double save = medianMilliseconds(rounds, [&] {
        saveProjectFile(path, projectFromTables(devices, groups));
    });
    const double read = medianMilliseconds(rounds, [&] {
        readProject(readProjectFile(path).value_or(QByteArray()));
    });
    const double apply = medianMilliseconds(rounds, [&] {
        loadProjectIntoTables(*readProject(bytes), devices, groups);
    });
    std::printf("%-26s %8lld bytes  text %7.3f ms  save %7.3f ms  read %7.3f ms  into tables %7.3f ms\n",
                label, static_cast<long long>(bytes.size()), write, save, read, apply);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int rounds = roundsFromCommandLine(application, u"30"_s);

    std::printf("Full project, 255 groups and 255 devices, median of %d rounds\n", rounds);
    measure("descriptions of 20", 20, rounds);
    measure("descriptions of 2047", IniFile::kMaxValueLength, rounds);
    return 0;
}
