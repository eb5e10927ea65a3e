#pragma once

// The texts of the scene commands' events, so that every face logs the same
// words ("Scene 3 "Show" recalled; group SUBS not found").

#include "scene.h"
#include "scenelist.h"

#include <QString>
#include <QStringList>

namespace SceneEvents {

// Scene 3 "Show"; Scene 3 when there is no such scene.
QString sceneText(int number, const Scene *scene);
// "Show" quoted, as the list now names scene number.
QString quoted(int number, const SceneList &list);
// Scene 3 not stored: <why>.
QString refused(int number, const QString &verb, SceneList::Edit edit);
// all groups; levels, mutes   or   groups FOH, SUBS; levels
QString scopeText(const SceneScope &scope);
// 2.5 s, with a '.' whatever the locale.
QString secondsText(int milliseconds);
// "; group SUBS not found" for each group.
QString missingText(const QStringList &groups);
// Recall of scene 3 "Show" undone; Recall undone when no scene was current.
QString undoText(int number, const Scene *scene);

} // namespace SceneEvents
