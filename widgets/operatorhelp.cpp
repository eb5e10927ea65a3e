#include "operatorhelp.h"

#include <QAbstractButton>
#include <QShortcut>
#include <QWidget>

void describeControl(QWidget *control, const QString &objectName, const QString &accessibleName,
                     const QString &toolTip)
{
    control->setObjectName(objectName);
    control->setAccessibleName(accessibleName);
    if (!toolTip.isEmpty())
        control->setToolTip(toolTip);
}

void describeInnerButton(QWidget *control, const QString &accessibleName)
{
    if (auto *button = control->findChild<QAbstractButton *>(QString(), Qt::FindDirectChildrenOnly))
        button->setAccessibleName(accessibleName);
}

void closeOnEscape(QWidget *window)
{
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setObjectName(QStringLiteral("closeOnEscape"));
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}
