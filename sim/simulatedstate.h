#pragma once

// What one simulated amplifier knows about itself. Guarded by the simulator's
// mutex; the server thread and the caller's thread both read and write it.

#include "ampsimulator.h"

#include <QByteArray>
#include <QList>
#include <QString>

struct SimulatedState
{
    QString address;          // 127.x.x.x
    QByteArray name = "AMP  ";  // always 5 bytes
    QByteArray group = "UNDEF"; // always 5 bytes
    quint32 variation = 1;  // makes each amp's measurements its own, and repeatable
    quint8 muteA = 1;  // 0 muted, 1 not muted
    quint8 muteB = 1;
    QByteArray groupSettings;  // last argument of /common_settings_values1=
    bool locked = false;
    QByteArray servedBlock;  // sent as it is instead of the simulated one when not empty

    AmpSimulator::Fault fault = AmpSimulator::Fault::None;
    int slowChunk = 200;  // bytes per piece of a slow body, at least 1
    int slowDelayMs = 50;
    qint64 hugeBytes = 4 * 1024 * 1024;
    int dripDelayMs = 1;
    int answerDelayMs = 0;
    QList<QByteArray> requests;  // the latest, at most the simulator's kept count
    qsizetype requestCount = 0;  // all, the forgotten ones too
    int connections = 0;      // accepted in all
    int openConnections = 0;  // accepted and not yet closed

    // The last block built and when (ms since the epoch; -1: none, or the
    // state changed since). Measurements move slowly, so a block a few
    // milliseconds old serves as well as a new one and costs nothing.
    QByteArray block;
    qint64 blockBuiltAt = -1;
    QByteArray lastSentBlock;  // the status block of the last status answer
};

// The first five bytes of a text, padded with spaces to five: how the amp
// keeps a name or group.
QByteArray identityField(QByteArrayView text);

// What the amp's output is multiplied by on one channel (0 A, 1 B): its
// volume, received with the group settings, as a voltage ratio, or 0 when
// the channel is muted.
double outputGain(const SimulatedState &state, int channel);

// Changes the state as the amplifier would for the path and argument of a
// request ("/name=AB   ", "/mute_a_on.html", ...). Unknown paths change nothing.
// Returns whether anything changed.
bool applyCommand(SimulatedState &state, QByteArrayView target);
