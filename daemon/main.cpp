// ampcontrold: the controller without a window. Loads one project as
// File > Open... does, polls its amplifiers and sends them their groups'
// settings as the windowed program does with that project open, and writes
// every event of the log to standard output, one line each, until SIGTERM
// or SIGINT. Messages about the program itself go to standard error.
//
// Exit status: 0 after a signal, 2 for a bad start (nothing was polled).
// --scene N recalls scene N of the project before the first poll.

#include "controllercore.h"
#include "eventline.h"
#include "eventlinewriter.h"
#include "projectfile.h"
#include "queuefullnote.h"
#include "remoteinterfaces.h"
#include "remotenotes.h"
#include "signalquit.h"
#include "startcheck.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr int kBadStart = 2;
// The "NotEnoughDeviceQuerySpace" note at most this often, in ms.
constexpr qint64 kQueueFullNoteIntervalMs = 10'000;

void printError(const QString &message)
{
    std::fprintf(stderr, "ampcontrold: %s\n", qUtf8Printable(message));
    std::fflush(stderr);
}

struct Options
{
    QString projectPath;
    quint16 devicePort = kDevicePort;
    int scene = 0;  // recalled once the project is loaded; 0 for none
};

// The options, or none after the message for a bad start was printed.
// --help and --version print and exit here.
std::optional<Options> parseOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Polls the amplifiers of a project and writes the controller's events to standard output."_s);
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption portOption(u"device-port"_s,
                                        u"TCP port the amplifiers serve on (80); for testing against a simulator."_s,
                                        u"PORT"_s, QString::number(kDevicePort));
    parser.addOption(portOption);
    const QCommandLineOption sceneOption(u"scene"_s, u"Recalls scene N of the project once it is loaded."_s, u"N"_s);
    parser.addOption(sceneOption);
    parser.addPositionalArgument(u"PROJECT.amp"_s, u"The project file to load, as File > Open... does."_s);

    if (!parser.parse(app.arguments())) {
        printError(parser.errorText() + u" See ampcontrold --help."_s);
        return std::nullopt;
    }
    if (parser.isSet(helpOption))
        parser.showHelp(0);
    if (parser.isSet(versionOption))
        parser.showVersion();

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port < 1 || port > 65535) {
        printError(u"--device-port must be a number from 1 to 65535, not \"%1\""_s.arg(
            EventLine::printable(parser.value(portOption))));
        return std::nullopt;
    }
    if (parser.isSet(sceneOption)) {
        if (const QString problem = sceneOptionProblem(parser.value(sceneOption)); !problem.isEmpty()) {
            printError(EventLine::printable(problem));
            return std::nullopt;
        }
    }
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 1) {
        printError(arguments.isEmpty() ? u"no project file given; usage: ampcontrold [options] PROJECT.amp"_s
                                       : u"one project file expected, %1 given"_s.arg(arguments.size()));
        return std::nullopt;
    }
    return Options{arguments.first(), quint16(port), parser.value(sceneOption).toInt()};
}

// Loads the project; false after the message that says why it was refused.
bool openProject(ControllerCore &core, const QString &path)
{
    QString problem = projectFileProblem(path);
    if (problem.isEmpty()) {
        switch (core.openProject(path, CommandSource::service())) {
        case ControllerCore::OpenResult::Opened:
            return true;
        case ControllerCore::OpenResult::OpenedPartly: {
            const QString capacity = QString::number(Project::kCapacity);
            printError(EventLine::printable(path) + u": lists more than "_s + capacity
                       + u" groups or devices; only the first "_s + capacity + u" of each were loaded"_s);
            return true;
        }
        case ControllerCore::OpenResult::Invalid:
            problem = u"not a project file (The selected file is invalid!)"_s;
            break;
        }
    }
    printError(EventLine::printable(path) + u": "_s + problem);
    return false;
}

// Recalls the scene the start asked for; false after the message when the
// project has no such scene.
bool recallStartScene(ControllerCore &core, const QString &path, int number)
{
    if (number == 0)
        return true;
    QList<int> numbers;
    for (const Scene &scene : core.scenes().scenes())
        numbers.append(scene.number);
    if (const QString problem = missingSceneProblem(numbers, number); !problem.isEmpty()) {
        printError(EventLine::printable(path) + u": "_s + problem);
        return false;
    }
    return core.recallScene(number, CommandSource::service());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"ampcontrold"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(AMP_VERSION));

    const std::optional<Options> options = parseOptions(app);
    if (!options)
        return kBadStart;

    const SignalQuit signalQuit;
    if (!signalQuit.armed())
        printError(u"SIGTERM and SIGINT cannot be caught: they end the program without its clean-up"_s);

    ControllerCore core(options->devicePort);
    // Listens as the project's section "Remote" says, once it is opened.
    const RemoteInterfaces remote(core);
    QObject::connect(&remote, &RemoteInterfaces::applied, &core, [&core, &remote] { RemoteNotes::log(core, remote); });
    if (!openProject(core, options->projectPath) || !recallStartScene(core, options->projectPath, options->scene))
        return kBadStart;

    const QueueFullNote queueFullNote(core, kQueueFullNoteIntervalMs, [](const QString &text) {
        printError(text + u": requests to amplifiers are being dropped"_s);
    });
    const EventLineWriter writer(core.eventLog(), STDOUT_FILENO);
    core.start();
    return QCoreApplication::exec();
}
