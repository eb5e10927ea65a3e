#pragma once

// What a recall does, worked out from plain values before anything is sent:
// which groups take which values, which named groups are not there, and what
// an undo would put back. Pure functions; the core applies the result
// through the same settings and mute requests the faders and mute buttons
// send, and keeps the targets to tell whether the live state has left them.

#include "scene.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// One group's part of a recall or an undo.
struct GroupTarget
{
    QString group;
    // What is set: Levels (four levels and their two links), Limiters (two
    // limiters and their link), Mutes (the group's mute; never with Leave).
    SceneKinds kinds;
    // The group's whole state once this is done: the parts not in kinds
    // are as they were.
    GroupState state;

    // Levels or limiters change: the group's settings are sent.
    bool sendsSettings() const { return bool(kinds & (SceneKind::Levels | SceneKind::Limiters)); }
    // The Mute all (true) or Un-mute all (false) to send; none to leave it.
    std::optional<bool> muteRequest() const;

    bool operator==(const GroupTarget &) const = default;
};

struct RecallPlan
{
    // In the scene's group order; groups safe from recalls are not here,
    // nor groups with nothing to set.
    QList<GroupTarget> targets;
    // Groups the recall covers that the live state does not hold (deleted,
    // or never stored in the scene): they are named in the event.
    QStringList missing;
    // undo[i] puts back what targets[i] changes, as it was before: the same
    // group, its whole state before the recall, and the kinds that can be
    // put back (not the mute of a group whose channels were mixed).
    QList<GroupTarget> undo;
};

// The recall of a scene over the live groups (their names as the group table
// holds them), leaving the recall-safe groups alone.
RecallPlan planRecall(const Scene &scene, const QList<NamedGroupState> &live,
                      const QSet<QString> &recallSafe);

// The undo of a recall: its plan's undo over the groups as they are now.
// Kinds the recall did not set keep their current values; groups since
// deleted are missing; groups marked safe since are left alone. Undoing an
// undo recalls again.
RecallPlan planUndo(const QList<GroupTarget> &undo, const QList<NamedGroupState> &live,
                    const QSet<QString> &recallSafe);

// The live state has left what a recall set: a value of a kind it set
// differs in a group that is still there.
bool isModified(const QList<GroupTarget> &targets, const QList<NamedGroupState> &live);
