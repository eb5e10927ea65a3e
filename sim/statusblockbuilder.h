#pragma once

// Builds the amplifier's 3157-byte status block from its state and the time:
// measurements drift slowly and the six histories advance one sample every
// few seconds, deterministically from the amp's seed.

#include "simulatedstate.h"

inline constexpr int kSimulatedBlockSize = 3157;

QByteArray buildStatusBlock(const SimulatedState &state, qint64 msecsSinceEpoch);
