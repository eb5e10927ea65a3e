#pragma once

#include <QtGlobal>

// Every amplifier serves HTTP on this port. The program always uses it; tests
// and the benchmark hand their simulator's port to the device table instead.
inline constexpr quint16 kDevicePort = 80;
