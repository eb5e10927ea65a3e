#include "oscrequest.h"

#include "oscnames.h"
#include "scene.h"

#include <QList>
#include <QStringDecoder>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

using Kind = OscRequest::Kind;
using Arguments = std::span<const OscArgument>;

// The fader table's entries of a setting's channel A; channel B follows it.
constexpr int kVolumeA = 1;
constexpr int kInputA = 3;
constexpr int kLimiterA = 5;

std::optional<bool> switchArgument(Arguments arguments, bool truthValuesToo)
{
    if (arguments.size() != 1)
        return std::nullopt;
    const OscArgument &argument = arguments[0];
    if (argument.type == 'i' && (argument.i == 0 || argument.i == 1))
        return argument.i == 1;
    if (truthValuesToo && (argument.type == 'T' || argument.type == 'F'))
        return argument.type == 'T';
    return std::nullopt;
}

std::optional<qint32> intArgument(Arguments arguments)
{
    if (arguments.size() != 1 || arguments[0].type != 'i')
        return std::nullopt;
    return arguments[0].i;
}

std::optional<double> floatArgument(Arguments arguments)
{
    if (arguments.size() != 1 || arguments[0].type != 'f' || !std::isfinite(arguments[0].f))
        return std::nullopt;
    return double(arguments[0].f);
}

int channelOf(QByteArrayView word)
{
    if (word == "a")
        return 0;
    if (word == "b")
        return 1;
    return -1;
}

int firstEntryOf(QByteArrayView setting)
{
    if (setting == "volume")
        return kVolumeA;
    if (setting == "input")
        return kInputA;
    if (setting == "limiter")
        return kLimiterA;
    return 0;
}

// A name segment: not empty, not too long, and only characters that a
// stored name's address form can hold (printable ASCII), so that bytes which
// could never match anything are refused before any lookup.
std::optional<QString> nameOf(QByteArrayView segment)
{
    if (segment.size() > OscRequests::kMaxNameBytes)
        return std::nullopt;
    QString name = QString::fromLatin1(segment);
    if (!OscNames::fitsAddress(name))
        return std::nullopt;
    return name;
}

std::optional<int> sceneNumberOf(const OscArgument &argument)
{
    if (argument.type != 'i' || argument.i < Scene::kMinNumber || argument.i > Scene::kMaxNumber)
        return std::nullopt;
    return int(argument.i);
}

// A scene name argument: strict UTF-8 (at most four bytes a character), and
// a name the scene list takes without cutting or changing it, so that a
// store never keeps a name other than the one sent.
std::optional<QString> sceneNameOf(const OscArgument &argument)
{
    if (argument.type != 's' || argument.s.size() > Scene::kMaxNameLength * 4)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString name = decoder.decode(argument.s);
    if (decoder.hasError() || checkSceneName(name) != SceneNameCheck::Fine)
        return std::nullopt;
    return name;
}

// The word after /amp/scene/.
std::optional<OscRequest> scene(QByteArrayView word, Arguments arguments)
{
    OscRequest request;
    if (word == "next" || word == "previous" || word == "undo") {
        if (!arguments.empty())
            return std::nullopt;
        request.kind = word == "next" ? Kind::SceneNext : word == "previous" ? Kind::ScenePrevious : Kind::SceneUndo;
        return request;
    }
    if (word == "recall" && arguments.size() == 1) {
        request.kind = Kind::SceneRecall;
        if (const std::optional<int> number = sceneNumberOf(arguments[0])) {
            request.scene = *number;
            return request;
        }
        const std::optional<QString> name = sceneNameOf(arguments[0]);
        if (!name || name->trimmed().isEmpty())
            return std::nullopt;
        request.sceneName = *name;
        return request;
    }
    if (word != "store" || arguments.empty() || arguments.size() > 2)
        return std::nullopt;
    const std::optional<int> number = sceneNumberOf(arguments[0]);
    const std::optional<QString> name = arguments.size() == 2 ? sceneNameOf(arguments[1]) : QString();
    if (!number || !name)
        return std::nullopt;
    request.kind = Kind::SceneStore;
    request.scene = *number;
    request.sceneName = *name;
    return request;
}

std::optional<OscRequest> amp(QByteArrayView word, Arguments arguments)
{
    OscRequest request;
    if (word == "ping" && arguments.empty()) {
        request.kind = Kind::Ping;
        return request;
    }
    if (word != "subscribe")
        return std::nullopt;
    request.kind = Kind::Subscribe;
    if (arguments.empty())
        return request;
    const std::optional<qint32> port = intArgument(arguments);
    if (!port || *port < 1 || *port > std::numeric_limits<quint16>::max())
        return std::nullopt;
    request.port = quint16(*port);
    return request;
}

// The words after /amp/group/<group>/.
std::optional<OscRequest> group(OscRequest request, const QList<QByteArrayView> &rest, Arguments arguments)
{
    if (rest.size() == 1 && rest[0] == "mute") {
        const std::optional<bool> on = switchArgument(arguments, true);
        if (!on)
            return std::nullopt;
        request.kind = Kind::GroupMute;
        request.on = *on;
        return request;
    }
    if (rest.size() == 1 && rest[0] == "safe") {
        const std::optional<bool> on = switchArgument(arguments, false);
        if (!on)
            return std::nullopt;
        request.kind = Kind::GroupRecallSafe;
        request.on = *on;
        return request;
    }
    if (rest.size() == 2 && rest[0] == "mute" && rest[1] == "toggle") {
        if (!arguments.empty())
            return std::nullopt;
        request.kind = Kind::GroupMuteToggle;
        return request;
    }
    if (rest.size() == 2 && rest[0] == "link") {
        const int firstEntry = firstEntryOf(rest[1]);
        const std::optional<bool> on = switchArgument(arguments, false);
        if (firstEntry == 0 || !on)
            return std::nullopt;
        request.kind = Kind::GroupLink;
        request.entry = firstEntry;
        request.on = *on;
        return request;
    }
    if (rest.size() != 2 && !(rest.size() == 3 && rest[2] == "step"))
        return std::nullopt;
    const int firstEntry = firstEntryOf(rest[0]);
    const int channel = channelOf(rest[1]);
    if (firstEntry == 0 || channel < 0)
        return std::nullopt;
    request.entry = firstEntry + channel;
    if (rest.size() == 3) {
        const std::optional<qint32> steps = intArgument(arguments);
        if (!steps)
            return std::nullopt;
        request.kind = Kind::GroupSettingStep;
        request.steps = *steps;
        return request;
    }
    const std::optional<double> units = floatArgument(arguments);
    if (!units)
        return std::nullopt;
    request.kind = Kind::GroupSetting;
    request.units = *units;
    return request;
}

// The words after /amp/device/<device>/.
std::optional<OscRequest> device(OscRequest request, const QList<QByteArrayView> &rest, Arguments arguments)
{
    if (rest.size() != 2 || rest[0] != "mute")
        return std::nullopt;
    const int channel = channelOf(rest[1]);
    const std::optional<bool> on = switchArgument(arguments, false);
    if (channel < 0 || !on)
        return std::nullopt;
    request.kind = Kind::DeviceMute;
    request.channel = channel;
    request.on = *on;
    return request;
}

} // namespace

namespace OscRequests {

std::optional<OscRequest> parse(QByteArrayView address, std::span<const OscArgument> arguments)
{
    if (address.size() > kMaxAddressBytes || !address.startsWith('/') || arguments.size() > kMaxArguments)
        return std::nullopt;
    // "/amp/group/FOH/mute" splits into "", "amp", "group", "FOH", "mute".
    QList<QByteArrayView> words;
    qsizetype start = 0;
    for (qsizetype at = 0; at <= address.size(); ++at) {
        if (at == address.size() || address[at] == '/') {
            words.append(address.sliced(start, at - start));
            start = at + 1;
        }
    }
    if (words.size() < 3 || words[0] != "" || words[1] != "amp")
        return std::nullopt;
    if (words.size() == 3)
        return amp(words[2], arguments);
    if (words.size() == 4 && words[2] == "scene")
        return scene(words[3], arguments);
    if (words.size() < 5)
        return std::nullopt;
    const std::optional<QString> name = nameOf(words[3]);
    if (!name)
        return std::nullopt;
    OscRequest request;
    request.name = *name;
    const QList<QByteArrayView> rest = words.mid(4);
    if (words[2] == "group")
        return group(std::move(request), rest, arguments);
    if (words[2] == "device")
        return device(std::move(request), rest, arguments);
    return std::nullopt;
}

} // namespace OscRequests
