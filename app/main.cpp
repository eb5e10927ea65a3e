// The amplifier controller: starts with empty tables and runs until "Exit" or
// the main window is closed.

#include "controllerstyle.h"
#include "controllerwindows.h"
#include "mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KRV Amplifier controller"));
    // Lets the desktop match the windows to the installed ampcontroller.desktop and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("ampcontroller"));
    applyControllerStyle(application);

    ControllerWindows windows;
    windows.Form1().show();
    return QApplication::exec();
}
