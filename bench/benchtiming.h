#pragma once

// What the window and file benchmarks share: the --rounds option and the
// median and 99th percentile of timed rounds, in microseconds.

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <vector>

struct TimingFigures
{
    double medianUs = 0;
    double p99Us = 0;
};

inline TimingFigures timingFigures(std::vector<qint64> nanoseconds)
{
    if (nanoseconds.empty())
        return {};
    std::sort(nanoseconds.begin(), nanoseconds.end());
    const auto at = [&](double fraction) {
        return double(nanoseconds[std::size_t(fraction * double(nanoseconds.size() - 1))]) / 1000.0;
    };
    return {at(0.5), at(0.99)};
}

// Parses the command line (with --help) and returns --rounds, at least 1.
inline int roundsFromCommandLine(const QCoreApplication &application, const QString &defaultRounds)
{
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption roundsOption(QStringLiteral("rounds"), QStringLiteral("Rounds per figure."),
                                          QStringLiteral("N"), defaultRounds);
    parser.addOption(roundsOption);
    parser.process(application);
    return std::max(1, parser.value(roundsOption).toInt());
}
