#pragma once

// Why a project file given at the start cannot be loaded, found before the
// core reads it, so that the message names the reason precisely: the core's
// openProject() only says "invalid".

#include <QList>
#include <QString>

// Empty when the path names an existing, readable regular file no larger than
// a project file can be; otherwise the reason in a few lowercase words: "no
// such file", "a directory", "a named pipe, not a regular file", "permission
// denied". Looks at the file without opening it, so a named pipe never blocks.
QString projectFileProblem(const QString &path);

// Empty when the value of --scene is a scene number (1 to 99); otherwise the
// line that says why not.
QString sceneOptionProblem(const QString &value);
// Empty when the project opened holds scene number; otherwise the line
// that names it.
QString missingSceneProblem(const QList<int> &projectScenes, int number);
