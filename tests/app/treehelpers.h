#pragma once

// Reading and clicking the device tree the way the operator sees it.

#include "devicetreeview.h"

#include <QStringList>
#include <QTest>
#include <QTreeWidgetItem>

// The tree as lines: a group's text, then "  " and each device's text.
inline QStringList treeLines(const DeviceTreeView &tree)
{
    QStringList lines;
    for (int top = 0; top < tree.topLevelItemCount(); ++top) {
        const QTreeWidgetItem *group = tree.topLevelItem(top);
        lines.append(group->text(0));
        for (int child = 0; child < group->childCount(); ++child)
            lines.append(QStringLiteral("  ") + group->child(child)->text(0));
    }
    return lines;
}

inline QTreeWidgetItem *findNode(const DeviceTreeView &tree, const QString &text)
{
    const QList<QTreeWidgetItem *> found = tree.findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.constFirst();
}

inline void pressNode(DeviceTreeView &tree, const QTreeWidgetItem *node, Qt::MouseButton button)
{
    const QPoint at = tree.visualItemRect(node).center();
    QTest::mousePress(tree.viewport(), button, {}, at);
    QTest::mouseRelease(tree.viewport(), button, {}, at);
}
