#pragma once

// The show's scenes at run time: the scene list, the scene last recalled,
// whether the live state has left it, the one-step undo of a recall and the
// fade of a recall's levels. The core owns one and gives it two ways into
// the tables: what the groups hold now, and how a target reaches a group
// (the same record writes and requests the faders and mute buttons make).
// Logging stays with the core, one event per command.
//
// Main thread only, like the tables.

#include "scenelist.h"
#include "scenerecall.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class SceneDirector final : public QObject
{
    Q_OBJECT

public:
    // The pace at which a drag's settings are sent; a fade keeps it.
    static constexpr int kFadePaceMs = 150;

    // The live groups in table order: settings and links from their records,
    // the mute from their amplifiers' last reports.
    using LiveGroups = std::function<QList<NamedGroupState>()>;
    // Puts a target into its group: the settings when it sets levels or
    // limiters, and when withMute the group's Mute all or Un-mute all.
    using ApplyTarget = std::function<void(const GroupTarget &target, bool withMute)>;

    SceneDirector(LiveGroups live, ApplyTarget apply, QObject *parent = nullptr);

    const SceneList &list() const { return m_list; }
    int current() const { return m_current; }
    bool modified() const { return m_modified; }
    quint64 recalls() const { return m_recalls; }
    bool fading() const { return m_fadeTimer.isActive(); }
    // Runs one fade step per timeout; benchmarks and tests may set its
    // interval, the steps' values stay those of the 150 ms pace.
    QTimer &fadeTimer() { return m_fadeTimer; }

    // A project was opened: its scenes and marks; no scene is current and
    // there is nothing to undo.
    void load(SceneList list);

    SceneList::Edit store(int number, const QString &name);
    // An edit of the list (rename, delete, scope, fade, move); a deleted
    // current scene leaves none current.
    SceneList::Edit edit(const std::function<SceneList::Edit(SceneList &)> &change);

    // The plan carried out; none when there is no such scene.
    std::optional<RecallPlan> recall(int number);
    // The plan of the undo carried out; none when there is nothing to undo.
    std::optional<RecallPlan> undo();

    bool setRecallSafe(const QString &group, bool safe);
    void groupDeleted(const QString &group);

    // A command other than the fade moved a group's settings or links: the
    // fade stops where it is, and "modified" turns on when the group left
    // what the recall set.
    void settingsMoved(const QString &group, const GroupState &live);
    // A mute command was given to a group (or to one of its amplifiers).
    void muteCommanded(const QString &group);

Q_SIGNALS:
    // The list, the current scene, "modified" or a recall-safe mark changed.
    void changed();

private:
    void startFade(const RecallPlan &plan, int durationMs);
    void stopFade();
    void fadeStep();
    void applyAll(const QList<GroupTarget> &targets, bool withMute);
    void setModified(bool on);
    bool covers(const QString &group, SceneKinds kinds) const;

    LiveGroups m_live;
    ApplyTarget m_apply;
    SceneList m_list;
    int m_current = 0;
    bool m_modified = false;
    quint64 m_recalls = 0;
    // What the last recall (or undo) set, to tell whether the state left it.
    QList<GroupTarget> m_targets;
    // What undo puts back, and the scene that was current before.
    std::optional<QList<GroupTarget>> m_undo;
    int m_currentBeforeRecall = 0;

    QTimer m_fadeTimer;
    RecallPlan m_fadePlan;
    QList<qint64> m_fadeTimes;
    int m_fadeDurationMs = 0;
    qsizetype m_fadeStep = 0;
};
