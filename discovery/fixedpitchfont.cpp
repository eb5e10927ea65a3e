#include "fixedpitchfont.h"

#include <QFontDatabase>
#include <QFontInfo>

using namespace Qt::StringLiterals;

QString firstFixedPitchFamily(const QStringList &candidates,
                              const std::function<bool(const QString &family)> &isFixedPitch)
{
    for (const QString &family : candidates) {
        if (isFixedPitch(family))
            return family;
    }
    return {};
}

QFont fixedPitchFont()
{
    const QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const auto resolvesFixed = [&system](const QString &family) {
        QFont font = system;
        font.setFamilies({family});
        return QFontInfo(font).fixedPitch();
    };
    QStringList candidates{system.family(), u"DejaVu Sans Mono"_s, u"Liberation Mono"_s,
                           u"Noto Sans Mono"_s, u"Courier New"_s};
    QString family = firstFixedPitchFamily(candidates, resolvesFixed);
    if (family.isEmpty()) {
        QStringList installed;
        for (const QString &name : QFontDatabase::families()) {
            if (QFontDatabase::isFixedPitch(name))
                installed.append(name);
        }
        family = firstFixedPitchFamily(installed, resolvesFixed);
    }
    if (family.isEmpty())
        return system;
    QFont font = system;
    font.setFamilies({family});
    return font;
}
