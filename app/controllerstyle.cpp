#include "controllerstyle.h"

#include "artpaths.h"

#include <QApplication>
#include <QIcon>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

using namespace Qt::StringLiterals;

QFont controllerFont()
{
    QFont font;
    font.setFamilies({u"MS Sans Serif"_s, u"Microsoft Sans Serif"_s, u"DejaVu Sans"_s, u"Sans Serif"_s});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

void applyControllerStyle(QApplication &application)
{
    // The layouts are fixed in pixels; one style everywhere keeps the
    // controls' metrics the same on every desktop.
    if (QStyle *fusion = QStyleFactory::create(u"Fusion"_s))
        QApplication::setStyle(fusion);

    QPalette palette = QApplication::style()->standardPalette();
    palette.setColor(QPalette::Window, kWindowColour);
    palette.setColor(QPalette::Button, kWindowColour);
    QApplication::setPalette(palette);
    QApplication::setFont(controllerFont());
    application.setWindowIcon(QIcon(ArtPath::AppIcon));
}
