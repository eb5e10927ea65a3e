#pragma once

// The controller core and every window of the program over it, created once
// in the order the program starts them: the main window first, then "Search
// Amplifier", "Network stat", "Group", "Diagram" and "About", then
// the fleet windows, "Remote" and "Scenes". Only the main
// window is shown at start; the others are shown and hidden until the program
// ends. The core starts polling once every window is in place.

#include "deviceport.h"

#include <QtGlobal>

#include <memory>

class ControllerCore;
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm6;
class TForm8;
class FleetWindows;
class QAction;
class RemoteInterfaces;
class RemoteWindow;
class ScenesWindow;

class ControllerWindows final
{
    Q_DISABLE_COPY_MOVE(ControllerWindows)

public:
    explicit ControllerWindows(quint16 devicePort = kDevicePort);
    ~ControllerWindows();

    ControllerCore &core() const { return *m_core; }
    TForm1 &Form1() const { return *m_form1; }
    TForm3 &Form3() const { return *m_form3; }
    TForm6 &Form6() const { return *m_form6; }
    TForm8 &Form8() const { return *m_form8; }
    TForm4 &Form4() const { return *m_form4; }
    TForm2 &Form2() const { return *m_form2; }
    FleetWindows &fleet() const { return *m_fleet; }
    RemoteInterfaces &remote() const { return *m_remote; }
    RemoteWindow &remoteWindow() const { return *m_remoteWindow; }
    QAction *remoteAction() const { return m_remoteAction; }
    ScenesWindow &scenesWindow() const { return *m_scenesWindow; }
    QAction *scenesAction() const { return m_scenesAction; }

private:
    void connectSecondaryWindows();
    void refreshDiagramAfterPress();

    // Declared in creation order, so they are destroyed the other way round:
    // the main window, which the scan window calls, goes after the others,
    // and the core, which they all show, last.
    std::unique_ptr<ControllerCore> m_core;
    std::unique_ptr<TForm1> m_form1;
    std::unique_ptr<TForm3> m_form3;
    std::unique_ptr<TForm6> m_form6;
    std::unique_ptr<TForm8> m_form8;
    std::unique_ptr<TForm4> m_form4;
    std::unique_ptr<TForm2> m_form2;
    std::unique_ptr<FleetWindows> m_fleet;
    std::unique_ptr<RemoteInterfaces> m_remote;
    std::unique_ptr<RemoteWindow> m_remoteWindow;
    QAction *m_remoteAction = nullptr;
    std::unique_ptr<ScenesWindow> m_scenesWindow;
    QAction *m_scenesAction = nullptr;
};
