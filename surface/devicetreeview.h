#pragma once

// The device tree: every group as a top-level node, every device under the
// node of its group. It is never edited in place; it is cleared and rebuilt
// from the two tables whenever they change, so nodes must not be kept across
// a rebuild. Nodes carry the id of their device or group. Main thread only.

#include <QIcon>
#include <QTreeWidget>

#include <array>

class QMenu;
class tDevices;
class tGroup;
struct tDevice;
struct tGroupItem;

class DeviceTreeView final : public QTreeWidget
{
    Q_OBJECT

public:
    static constexpr int kIndent = 19;
    static constexpr int kNoStateImage = -1;

    explicit DeviceTreeView(QWidget *parent = nullptr);

    // Builds a node per group (the core keeps every device's group in the
    // table) and, under it, a node per device of that group
    // (tGroup::findGroupOfDevice: its group text equals the group's name, or
    // does once normalised and padded); sorts every level by node text with
    // the locale's collation and expands everything. Leaves nothing selected.
    void rebuild(const tDevices &devices, const tGroup &groups, bool showIp);

    // Sets every device node's state image from its device's link state.
    void refreshStateImages(const tDevices &devices);

    // The id attached to a group node or a device node; 0 for a node of the
    // other level and for no node.
    static quint64 groupId(const QTreeWidgetItem *node);
    static quint64 deviceId(const QTreeWidgetItem *node);
    // What the selected node stands for: a group node its group, a device
    // node its device and the device's group; 0s with nothing selected.
    struct Selection
    {
        quint64 group = 0;
        quint64 device = 0;
    };
    Selection selection() const;
    // The node of a device; null when the tree shows none.
    QTreeWidgetItem *nodeOf(quint64 device) const;
    // The link state code whose image a node shows, or kNoStateImage.
    static int stateImage(const QTreeWidgetItem *node);

    // The text of a device node: the name, with the address after it when
    // showIp is on ("AMP1  [127.0.0.9]").
    static QString deviceText(const tDevice &device, bool showIp);

    // Chooses the popup menu for a right press at pos (viewport coordinates):
    // the device menu on a device node, else the group menu, with "Delete
    // Group" enabled only on a group node. The menu shows on the context
    // menu event that follows the press.
    void attachPopupMenu(QPoint pos);
    QMenu *attachedMenu() const { return m_attachedMenu; }
    // The group of the node under the last press, taken at the press, since
    // a rebuild while the popup is open can put another node there; 0 when
    // the press was not on a group node.
    quint64 pressedGroup() const { return m_pressedGroup; }

    QAction *addGroupAction() const { return m_addGroup; }
    QAction *deleteGroupAction() const { return m_deleteGroup; }
    QAction *deleteDeviceAction() const { return m_deleteDevice; }

Q_SIGNALS:
    // Any mouse button pressed at pos (viewport coordinates), after a left
    // press has selected the node under it. A right press leaves the
    // selection alone.
    void mousePressed(Qt::MouseButton button, QPoint pos);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QTreeWidgetItem *groupNode(const tGroupItem &group) const;
    QTreeWidgetItem *deviceNode(const tDevice &device, bool showIp) const;
    void setStateImage(QTreeWidgetItem *node, int state) const;

    std::array<QIcon, 4> m_stateIcons;
    QMenu *m_groupMenu = nullptr;
    QMenu *m_deviceMenu = nullptr;
    QMenu *m_attachedMenu = nullptr;
    QAction *m_addGroup = nullptr;
    QAction *m_deleteGroup = nullptr;
    QAction *m_deleteDevice = nullptr;
    quint64 m_pressedGroup = 0;
};
