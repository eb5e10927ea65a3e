#pragma once

// Removing a group. Main thread only; the caller rebuilds the tree.

#include <QString>
#include <QStringView>

class tDevices;
class tGroup;

inline const QString kUndefinedGroupName = QStringLiteral("UNDEF");

// Moves every device of the group (those the tree shows under it) to "UNDEF" (its record at once, the device
// itself through "/group=UNDEF", which also adds "UNDEF" to the table when it
// is missing), then removes the group. A name that no group has changes
// nothing. Returns the number of devices moved.
int deleteGroup(tDevices &devices, tGroup &groups, QStringView name);
