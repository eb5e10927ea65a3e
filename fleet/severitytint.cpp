#include "severitytint.h"

#include <QBrush>
#include <QColor>

namespace SeverityTint {

QVariant forRole(int role, Tint tint)
{
    if (tint == Tint::None)
        return {};
    if (role == Qt::BackgroundRole)
        return QBrush(tint == Tint::Red ? QColor(0xF6, 0xC8, 0xC4) : QColor(0xFB, 0xE6, 0xB0));
    if (role == Qt::ForegroundRole)
        return QBrush(QColor(0x20, 0x20, 0x20));
    return {};
}

} // namespace SeverityTint
