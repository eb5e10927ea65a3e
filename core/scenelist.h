#pragma once

// The show's scenes in the operator's order, each known by its number
// (1..99, unique), and the groups that no recall may touch ("recall safe").
// A plain value: the core owns one and changes it through these edits, each
// of which either does what it says or changes nothing and says why.

#include "scene.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringView>

class SceneList final
{
public:
    enum class Edit {
        Done,
        NoSuchScene,
        NumberOutOfRange,
        NameTooLong,
        NameHasControlCharacter,
        FadeOutOfRange,
        NoKinds,       // a scope must cover at least one kind
        NoGroups,      // and all groups or at least one named
        AtEdge,        // moved up at the top or down at the bottom
    };

    SceneList() = default;
    // Scenes as a project file gave them (already checked by its reader):
    // numbers unique and in range.
    explicit SceneList(QList<Scene> scenes, QSet<QString> recallSafe = {});

    const QList<Scene> &scenes() const { return m_scenes; }
    bool isEmpty() const { return m_scenes.isEmpty(); }
    const Scene *find(int number) const;
    // The scene of exactly this name, else the first whose name matches
    // without regard to case; none when no name matches.
    const Scene *findByName(QStringView name) const;
    // The number of the scene step places after (before, when negative) the
    // scene numbered from in the list; the first (last) scene when from is
    // not in the list; 0 past either end or when the list is empty.
    int neighbour(int from, int step) const;

    // Stores group values as scene number: a new scene is named name (or
    // "Scene N"), covers every group and kind and has no fade, and takes its
    // place before the first scene of a higher number; over an existing one
    // only the values change, and the name when one is given.
    Edit store(int number, QList<NamedGroupState> groups, const QString &name = {});
    // An empty name gives back the default name.
    Edit rename(int number, const QString &name);
    Edit remove(int number);
    Edit setScope(int number, const SceneScope &scope);
    Edit setFade(int number, int fadeMs);
    // step -1 moves the scene up one place, +1 down one place.
    Edit move(int number, int step);

    const QSet<QString> &recallSafe() const { return m_recallSafe; }
    bool isRecallSafe(const QString &group) const { return m_recallSafe.contains(group); }
    // True when the mark changed. A deleted group should lose its mark.
    bool setRecallSafe(const QString &group, bool safe);

private:
    qsizetype indexOf(int number) const;

    QList<Scene> m_scenes;
    QSet<QString> m_recallSafe;
};

// A sentence for an edit that was refused, for events and remote replies.
QString sceneEditText(SceneList::Edit edit);
