#pragma once

// The feedback addresses and values of the whole controller as they are now:
//   /amp/group/<group>/mute               int, 1 when every channel of every
//                                          online device of the group reports
//                                          muted (and at least one does)
//   /amp/group/<group>/volume/a ... /limiter/b   float, dB or V as the labels show them
//   /amp/group/<group>/safe               int 1 while no recall touches the group
//   /amp/device/<device>/online           int 1/0
//   /amp/device/<device>/severity         int 0..3 as the Fleet window rates it
//   /amp/device/<device>/mute/a, /mute/b  int 1 muted     } once the device
//   /amp/device/<device>/temp/amp, /temp/psu  float °C    } has sent a block
//   /amp/device/<device>/mains            float V, one decimal as the panel shows it
//   /amp/scene/current                    int number and string name of the scene
//                                          last recalled; 0 and "" when none
//   /amp/scene/modified                   int 1 when a value it covers changed since
//
// <group> is the group's address name; <device> the device's, or its address
// text when that name is shared by another device or cannot stand in an
// address. The addresses are built once per name and kept, so that a look
// every 200 ms allocates little. Main thread only.

#include "oscfeedbacktable.h"

#include <QByteArray>
#include <QString>

#include <vector>

class ControllerCore;

class OscFeedbackState final
{
public:
    std::vector<OscFeedbackItem> collect(const ControllerCore &core);

private:
    struct Addresses
    {
        QString key;  // what the addresses were built from
        std::vector<QByteArray> paths;
    };

    static const Addresses &addressesFor(Addresses &cached, const QString &key, const char *const *suffixes,
                                         std::size_t count, const QByteArray &prefix);

    std::vector<Addresses> m_groups;   // by group slot
    std::vector<Addresses> m_devices;  // by device slot
};
