#include "sceneevents.h"

#include "names.h"

using namespace Qt::StringLiterals;

namespace SceneEvents {

QString sceneText(int number, const Scene *scene)
{
    const QString text = u"Scene "_s + QString::number(number);
    return scene ? text + u" \""_s + scene->name + u'"' : text;
}

QString quoted(int number, const SceneList &list)
{
    const Scene *scene = list.find(number);
    return u'"' + (scene ? scene->name : QString()) + u'"';
}

QString refused(int number, const QString &verb, SceneList::Edit edit)
{
    return u"Scene "_s + QString::number(number) + u" not "_s + verb + u": "_s + sceneEditText(edit);
}

QString scopeText(const SceneScope &scope)
{
    QStringList groups;
    for (const QString &group : scope.groups)
        groups.append(withoutTrailingBlanks(group));
    const QString which = scope.allGroups ? u"all groups"_s : u"groups "_s + groups.join(u", "_s);
    return which + u"; "_s + sceneKindWords(scope.kinds).join(u", "_s);
}

QString secondsText(int milliseconds)
{
    return QString::number(milliseconds / 1000.0, 'g', 6) + u" s"_s;
}

QString missingText(const QStringList &groups)
{
    QString text;
    for (const QString &group : groups)
        text += u"; group "_s + withoutTrailingBlanks(group) + u" not found"_s;
    return text;
}

QString undoText(int number, const Scene *scene)
{
    if (number == 0)
        return u"Recall undone"_s;
    return u"Recall of scene "_s + QString::number(number) + (scene ? u" \""_s + scene->name + u'"' : QString())
           + u" undone"_s;
}

} // namespace SceneEvents
