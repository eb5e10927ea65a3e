#pragma once

// The one way devices enter the device table, used by the address-range scan
// and the project loader. Main thread only; the caller rebuilds the tree.

#include <QString>
#include <QStringView>

class tDevices;
class tGroup;

// Normalises and pads the name, upper-cases and pads the group, adds the group
// when no group has exactly that name, then updates the device with the same
// address text or appends a new one, and queues "/lock_off" for it.
// Returns the device's slot, or 0 when the table is full and nothing was added.
int addOrUpdateDevice(tDevices &devices, tGroup &groups, QStringView name, QStringView group,
                      const QString &address);
