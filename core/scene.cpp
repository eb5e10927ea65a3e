#include "scene.h"

#include <algorithm>

using namespace Qt::StringLiterals;

QString sceneKindWord(SceneKind kind)
{
    switch (kind) {
    case SceneKind::Levels:
        return u"levels"_s;
    case SceneKind::Limiters:
        return u"limiters"_s;
    case SceneKind::Mutes:
        return u"mutes"_s;
    }
    return {};
}

QStringList sceneKindWords(SceneKinds kinds)
{
    QStringList words;
    for (const SceneKind kind : kSceneKindOrder) {
        if (kinds.testFlag(kind))
            words.append(sceneKindWord(kind));
    }
    return words;
}

GroupMute groupMuteOf(int mutedChannels, int channels)
{
    if (channels <= 0 || mutedChannels < 0 || mutedChannels > channels)
        return GroupMute::Leave;
    if (mutedChannels == channels)
        return GroupMute::Muted;
    return mutedChannels == 0 ? GroupMute::Unmuted : GroupMute::Leave;
}

QString defaultSceneName(int number)
{
    return u"Scene "_s + QString::number(number);
}

namespace {

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control;
}

} // namespace

SceneNameCheck checkSceneName(QStringView name)
{
    const QStringView trimmed = name.trimmed();
    if (std::any_of(trimmed.begin(), trimmed.end(), isControl))
        return SceneNameCheck::ControlCharacter;
    return trimmed.size() > Scene::kMaxNameLength ? SceneNameCheck::TooLong : SceneNameCheck::Fine;
}

QString cleanSceneName(QStringView name)
{
    QString clean = name.toString();
    std::replace_if(clean.begin(), clean.end(), isControl, u' ');
    clean = clean.trimmed();
    if (clean.size() > Scene::kMaxNameLength) {
        // Never half of a character outside the basic plane.
        const bool splitsPair = clean.at(Scene::kMaxNameLength - 1).isHighSurrogate();
        clean.truncate(Scene::kMaxNameLength - (splitsPair ? 1 : 0));
    }
    return clean.trimmed();
}
