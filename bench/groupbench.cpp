// The group lookups of one polling tick at full tables: 255 groups and 255
// devices, each device's group text looked up once, as the tick does before
// it sends a device its group's settings. Prints the median and the 99th
// percentile of a tick's 255 lookups, in microseconds, for device texts that
// name their group exactly, texts that only match once normalised and padded
// ("g001", as a device may report it), texts that name no group, and, after
// every tick, a group added and removed again (the lookups start afresh).
//
//   groupbench [--rounds N]

#include "grouptable.h"
#include "benchtiming.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kDevices = 255;

QString groupName(int n)
{
    return u"G%1"_s.arg(n, 3, 10, QChar(u'0'));
}

// Device n belongs to group n (the slots are reversed to keep the scan honest).
std::vector<QString> deviceTexts(const tGroup &groups, int kind)
{
    std::vector<QString> texts;
    for (int n = 1; n <= kDevices; ++n) {
        const int group = groups.count() + 1 - n;
        switch (kind) {
        case 0: texts.push_back(groups[group].name); break;
        case 1: texts.push_back(groupName(group).toLower()); break;
        default: texts.push_back(u"NONE%1"_s.arg(n)); break;
        }
    }
    return texts;
}

template <typename Between>
TimingFigures tickFigures(const tGroup &groups, const std::vector<QString> &texts, int rounds,
                          Between between)
{
    std::vector<qint64> samples;
    samples.reserve(std::size_t(rounds));
    QElapsedTimer clock;
    qint64 found = 0;
    for (int round = 0; round < rounds; ++round) {
        between();
        clock.start();
        for (const QString &text : texts)
            found += groups.findGroupOfDevice(text);
        samples.push_back(clock.nsecsElapsed());
    }
    if (found < 0)
        std::printf("unreachable\n");  // keeps the lookups from being optimised away
    return timingFigures(std::move(samples));
}

void print(const char *label, TimingFigures figures)
{
    std::printf("  %-34s median %8.2f us   p99 %8.2f us\n", label, figures.medianUs, figures.p99Us);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int rounds = roundsFromCommandLine(application, u"2000"_s);

    tGroup groups;
    for (int n = 1; n <= tGroup::kCapacity - 1; ++n)
        groups.addGroup(groupName(n));
    groups.addGroup(u"LAST"_s);  // the 255th, added and removed again below
    const auto nothing = [] {};

    std::printf("group lookups of one tick: %d devices, %d groups, %d rounds\n", kDevices, groups.count(),
                rounds);
    print("exact names", tickFigures(groups, deviceTexts(groups, 0), rounds, nothing));
    print("normalised names (\"g001\")", tickFigures(groups, deviceTexts(groups, 1), rounds, nothing));
    print("no such group", tickFigures(groups, deviceTexts(groups, 2), rounds, nothing));
    const auto changeGroups = [&] {
        groups.removeGroup(groups.count());
        groups.addGroup(u"LAST"_s);
    };
    print("exact names, groups changed", tickFigures(groups, deviceTexts(groups, 0), rounds, changeGroups));
    return 0;
}
