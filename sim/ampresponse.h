#pragma once

// The amplifier's side of the exchange as bytes, shared by the simulator's
// servers: request targets, the framing of answers and the current block.

#include "simulatedstate.h"

#include <QByteArray>
#include <QByteArrayView>

// "GET <target> HTTP/1.1": the target runs to the last " HTTP/", so that an
// argument may hold unescaped spaces. Anything else has no target.
QByteArray targetOf(QByteArrayView requestLine);

// Status line, five header lines (the fourth of them the length line given),
// the empty line, then the body.
QByteArray framed(QByteArrayView lengthLine, QByteArrayView contentType, QByteArrayView body);
QByteArray lengthLine(qint64 length);

// Milliseconds since the epoch, the simulator's clock.
qint64 simulatorNow();

// The block the amp sends now; a block built less than a few milliseconds
// ago is sent again (measurements move slowly).
QByteArray currentBlock(SimulatedState &state);

// Acts on a request's command, as the amp does on receipt; returns its
// target. The request runs at least to the end of its first line.
QByteArray actOnRequest(SimulatedState &state, QByteArrayView request);

// The answer of a healthy amp to a request with this target.
QByteArray normalAnswer(SimulatedState &state, QByteArrayView target);
