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
    applyControllerStyle(application);

    ControllerWindows windows;
    windows.Form1().show();
    return QApplication::exec();
}
