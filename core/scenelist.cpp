#include "scenelist.h"

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

bool numberInRange(int number)
{
    return number >= Scene::kMinNumber && number <= Scene::kMaxNumber;
}

SceneList::Edit nameCheck(const QString &name)
{
    switch (checkSceneName(name)) {
    case SceneNameCheck::TooLong:
        return SceneList::Edit::NameTooLong;
    case SceneNameCheck::ControlCharacter:
        return SceneList::Edit::NameHasControlCharacter;
    case SceneNameCheck::Fine:
        break;
    }
    return SceneList::Edit::Done;
}

QString nameOrDefault(const QString &name, int number)
{
    const QString trimmed = name.trimmed();
    return trimmed.isEmpty() ? defaultSceneName(number) : trimmed;
}

} // namespace

SceneList::SceneList(QList<Scene> scenes, QSet<QString> recallSafe)
    : m_scenes(std::move(scenes))
    , m_recallSafe(std::move(recallSafe))
{
}

qsizetype SceneList::indexOf(int number) const
{
    const auto at = std::find_if(m_scenes.cbegin(), m_scenes.cend(),
                                 [number](const Scene &scene) { return scene.number == number; });
    return at == m_scenes.cend() ? -1 : at - m_scenes.cbegin();
}

const Scene *SceneList::find(int number) const
{
    const qsizetype index = indexOf(number);
    return index < 0 ? nullptr : &m_scenes[index];
}

const Scene *SceneList::findByName(QStringView name) const
{
    for (const Scene &scene : m_scenes) {
        if (scene.name == name)
            return &scene;
    }
    for (const Scene &scene : m_scenes) {
        if (scene.name.compare(name, Qt::CaseInsensitive) == 0)
            return &scene;
    }
    return nullptr;
}

int SceneList::neighbour(int from, int step) const
{
    if (m_scenes.isEmpty())
        return 0;
    const qsizetype index = indexOf(from);
    if (index < 0)
        return step >= 0 ? m_scenes.first().number : m_scenes.last().number;
    const qsizetype to = index + step;
    return to < 0 || to >= m_scenes.size() ? 0 : m_scenes[to].number;
}

SceneList::Edit SceneList::store(int number, QList<NamedGroupState> groups, const QString &name)
{
    if (!numberInRange(number))
        return Edit::NumberOutOfRange;
    if (const Edit check = nameCheck(name); check != Edit::Done)
        return check;
    if (const qsizetype index = indexOf(number); index >= 0) {
        Scene &scene = m_scenes[index];
        scene.groups = std::move(groups);
        if (!name.trimmed().isEmpty())
            scene.name = name.trimmed();
        return Edit::Done;
    }
    Scene scene;
    scene.number = number;
    scene.name = nameOrDefault(name, number);
    scene.groups = std::move(groups);
    const auto before = std::find_if(m_scenes.cbegin(), m_scenes.cend(),
                                     [number](const Scene &other) { return other.number > number; });
    m_scenes.insert(before - m_scenes.cbegin(), std::move(scene));
    return Edit::Done;
}

SceneList::Edit SceneList::rename(int number, const QString &name)
{
    const qsizetype index = indexOf(number);
    if (index < 0)
        return Edit::NoSuchScene;
    if (const Edit check = nameCheck(name); check != Edit::Done)
        return check;
    m_scenes[index].name = nameOrDefault(name, number);
    return Edit::Done;
}

SceneList::Edit SceneList::remove(int number)
{
    const qsizetype index = indexOf(number);
    if (index < 0)
        return Edit::NoSuchScene;
    m_scenes.removeAt(index);
    return Edit::Done;
}

SceneList::Edit SceneList::setScope(int number, const SceneScope &scope)
{
    const qsizetype index = indexOf(number);
    if (index < 0)
        return Edit::NoSuchScene;
    if (!(scope.kinds & kAllSceneKinds))
        return Edit::NoKinds;
    if (!scope.allGroups && scope.groups.isEmpty())
        return Edit::NoGroups;
    SceneScope &target = m_scenes[index].scope;
    target = scope;
    target.kinds &= kAllSceneKinds;
    if (target.allGroups)
        target.groups.clear();
    target.groups.removeDuplicates();
    return Edit::Done;
}

SceneList::Edit SceneList::setFade(int number, int fadeMs)
{
    const qsizetype index = indexOf(number);
    if (index < 0)
        return Edit::NoSuchScene;
    if (fadeMs < 0 || fadeMs > Scene::kMaxFadeMs)
        return Edit::FadeOutOfRange;
    m_scenes[index].fadeMs = fadeMs;
    return Edit::Done;
}

SceneList::Edit SceneList::move(int number, int step)
{
    const qsizetype index = indexOf(number);
    if (index < 0)
        return Edit::NoSuchScene;
    const qsizetype to = index + (step < 0 ? -1 : 1);
    if (to < 0 || to >= m_scenes.size())
        return Edit::AtEdge;
    m_scenes.swapItemsAt(index, to);
    return Edit::Done;
}

bool SceneList::setRecallSafe(const QString &group, bool safe)
{
    if (safe == m_recallSafe.contains(group))
        return false;
    if (safe)
        m_recallSafe.insert(group);
    else
        m_recallSafe.remove(group);
    return true;
}

QString sceneEditText(SceneList::Edit edit)
{
    switch (edit) {
    case SceneList::Edit::Done:
        return {};
    case SceneList::Edit::NoSuchScene:
        return u"no such scene"_s;
    case SceneList::Edit::NumberOutOfRange:
        return u"a scene number is 1 to 99"_s;
    case SceneList::Edit::NameTooLong:
        return u"a scene name has at most 32 characters"_s;
    case SceneList::Edit::NameHasControlCharacter:
        return u"a scene name holds no control characters"_s;
    case SceneList::Edit::FadeOutOfRange:
        return u"a fade takes 0 to 30 s"_s;
    case SceneList::Edit::NoKinds:
        return u"a scene covers at least one of levels, limiters and mutes"_s;
    case SceneList::Edit::NoGroups:
        return u"a scene covers all groups or at least one"_s;
    case SceneList::Edit::AtEdge:
        return u"the scene is already at that end of the list"_s;
    }
    return {};
}
