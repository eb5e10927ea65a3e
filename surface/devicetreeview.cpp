#include "devicetreeview.h"

#include "artpaths.h"
#include "devicetable.h"
#include "grouptable.h"

#include <QCollator>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int IdRole = Qt::UserRole;
constexpr int StateRole = Qt::UserRole + 1;

quint64 attachedId(const QTreeWidgetItem *node)
{
    return node ? node->data(0, IdRole).toULongLong() : 0;
}

// Both levels are ordered by node text, as the operator's locale orders it.
void sortByText(QList<QTreeWidgetItem *> &nodes, const QCollator &collator)
{
    std::stable_sort(nodes.begin(), nodes.end(), [&](const QTreeWidgetItem *a, const QTreeWidgetItem *b) {
        return collator.compare(a->text(0), b->text(0)) < 0;
    });
}

} // namespace

DeviceTreeView::DeviceTreeView(QWidget *parent)
    : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(kIndent);
    setIconSize(QSize(16, 16));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);

    for (std::size_t state = 0; state < m_stateIcons.size(); ++state)
        m_stateIcons[state] = QIcon(ArtPath::StateImages[state]);

    m_groupMenu = new QMenu(this);
    m_addGroup = m_groupMenu->addAction(u"Add Group"_s);
    m_deleteGroup = m_groupMenu->addAction(u"Delete Group"_s);
    m_deviceMenu = new QMenu(this);
    m_deleteDevice = m_deviceMenu->addAction(u"Delete Device"_s);
}

void DeviceTreeView::rebuild(const tDevices &devices, const tGroup &groups, bool showIp)
{
    clear();

    // Each device goes under the group it belongs to, found once per device.
    std::vector<QList<QTreeWidgetItem *>> children(static_cast<std::size_t>(groups.count()) + 1);
    for (int slot = 1; slot <= devices.count(); ++slot) {
        if (const int groupSlot = groups.findGroupOfDevice(devices[slot].group))
            children[static_cast<std::size_t>(groupSlot)].append(deviceNode(devices[slot], showIp));
    }

    QCollator collator;
    QList<QTreeWidgetItem *> groupNodes;
    groupNodes.reserve(groups.count());
    for (int groupSlot = 1; groupSlot <= groups.count(); ++groupSlot) {
        QTreeWidgetItem *node = groupNode(groups[groupSlot]);
        QList<QTreeWidgetItem *> &members = children[static_cast<std::size_t>(groupSlot)];
        sortByText(members, collator);
        node->addChildren(members);
        groupNodes.append(node);
    }
    sortByText(groupNodes, collator);
    addTopLevelItems(groupNodes);
    expandAll();
}

void DeviceTreeView::refreshStateImages(const tDevices &devices)
{
    for (int top = 0; top < topLevelItemCount(); ++top) {
        QTreeWidgetItem *group = topLevelItem(top);
        for (int child = 0; child < group->childCount(); ++child) {
            QTreeWidgetItem *node = group->child(child);
            if (const int slot = devices.slotOfDevice(deviceId(node)))
                setStateImage(node, devices[slot].linkState());
        }
    }
}

quint64 DeviceTreeView::groupId(const QTreeWidgetItem *node)
{
    return !node || node->parent() ? 0 : attachedId(node);
}

quint64 DeviceTreeView::deviceId(const QTreeWidgetItem *node)
{
    return !node || !node->parent() || node->parent()->parent() ? 0 : attachedId(node);
}

DeviceTreeView::Selection DeviceTreeView::selection() const
{
    const QList<QTreeWidgetItem *> selected = selectedItems();
    if (selected.isEmpty())
        return {};
    const QTreeWidgetItem *node = selected.constFirst();
    if (!node->parent())
        return {groupId(node), 0};
    return {groupId(node->parent()), deviceId(node)};
}

QTreeWidgetItem *DeviceTreeView::nodeOf(quint64 id) const
{
    for (int group = 0; id != 0 && group < topLevelItemCount(); ++group) {
        QTreeWidgetItem *groupNode = topLevelItem(group);
        for (int device = 0; device < groupNode->childCount(); ++device) {
            if (deviceId(groupNode->child(device)) == id)
                return groupNode->child(device);
        }
    }
    return nullptr;
}

int DeviceTreeView::stateImage(const QTreeWidgetItem *node)
{
    const QVariant state = node ? node->data(0, StateRole) : QVariant();
    return state.isValid() ? state.toInt() : kNoStateImage;
}

QString DeviceTreeView::deviceText(const tDevice &device, bool showIp)
{
    return showIp ? device.name + u" ["_s + device.address + u']' : device.name;
}

void DeviceTreeView::attachPopupMenu(QPoint pos)
{
    const QTreeWidgetItem *node = itemAt(pos);
    m_deleteGroup->setEnabled(node != nullptr);
    m_attachedMenu = deviceId(node) != 0 ? m_deviceMenu : m_groupMenu;
}

void DeviceTreeView::mousePressEvent(QMouseEvent *event)
{
    const QTreeWidgetItem *node = itemAt(event->position().toPoint());
    m_pressedGroup = groupId(node);
    if (event->button() != Qt::RightButton)
        QTreeWidget::mousePressEvent(event);
    Q_EMIT mousePressed(event->button(), event->position().toPoint());
}

void DeviceTreeView::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_attachedMenu)
        m_attachedMenu->popup(event->globalPos());
    event->accept();
}

QTreeWidgetItem *DeviceTreeView::groupNode(const tGroupItem &group) const
{
    auto *node = new QTreeWidgetItem(QStringList(group.name));
    node->setData(0, IdRole, QVariant::fromValue(group.id));
    return node;
}

QTreeWidgetItem *DeviceTreeView::deviceNode(const tDevice &device, bool showIp) const
{
    auto *node = new QTreeWidgetItem(QStringList(deviceText(device, showIp)));
    node->setData(0, IdRole, QVariant::fromValue(device.id));
    setStateImage(node, device.linkState());
    return node;
}

void DeviceTreeView::setStateImage(QTreeWidgetItem *node, int state) const
{
    if (state < 0 || state >= static_cast<int>(m_stateIcons.size()) || stateImage(node) == state)
        return;
    node->setData(0, StateRole, state);
    node->setIcon(0, m_stateIcons[static_cast<std::size_t>(state)]);
}
