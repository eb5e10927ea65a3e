#include "controllerwindows.h"

#include "aboutwindow.h"
#include "controllercore.h"
#include "devicepanel.h"
#include "devicetreeview.h"
#include "diagramwindow.h"
#include "fleetwindows.h"
#include "groupdialog.h"
#include "grouptable.h"
#include "mainwindow.h"
#include "networkstatwindow.h"
#include "remoteinterfaces.h"
#include "remotewindow.h"
#include "scanwindow.h"
#include "sceneswindow.h"

#include <QMenuBar>


namespace {

void showAndRaise(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

ControllerWindows::ControllerWindows(quint16 devicePort)
    : m_core(std::make_unique<ControllerCore>(devicePort)),
      m_form1(std::make_unique<TForm1>(*m_core))
{
    TForm1 *main = m_form1.get();
    ControllerCore *core = m_core.get();
    TForm3::Hooks scanHooks;
    scanHooks.addOrUpdateDevice = [main](const QString &name, const QString &group, const QString &address) {
        return main->addOrUpdateDevice(name, group, address);
    };
    scanHooks.afterAddress = [main] {
        main->rebuildTree();
        main->TreeView1()->refreshStateImages(main->devices());
    };
    m_form3 = std::make_unique<TForm3>(devicePort, std::move(scanHooks));
    m_form6 = std::make_unique<TForm6>(main->devices());
    m_form8 = std::make_unique<TForm8>();
    m_form8->setAddGroupFunction(
        [core](const QString &name) { return core->addGroup(name, CommandSource::window()); });
    QObject::connect(m_form3.get(), &TForm3::scanFinished, core,
                     [core](const QString &first, const QString &last, int found) {
                         core->scanFinished(first, last, found, CommandSource::window());
                     });
    m_form4 = std::make_unique<TForm4>(
        [main]() -> const StatusBlock * {
            const tDevice *device = main->core().device(main->selectedDevice());
            return device ? &device->status : nullptr;
        },
        main);
    m_form2 = std::make_unique<TForm2>();
    connectSecondaryWindows();

    m_fleet = std::make_unique<FleetWindows>(*core, *main);
    m_remote = std::make_unique<RemoteInterfaces>(*core);
    m_remoteWindow = std::make_unique<RemoteWindow>(*core, *m_remote);
    m_remoteAction = new QAction(QStringLiteral("Remote"), main);
    main->menuBar()->insertAction(main->About2(), m_remoteAction);
    QObject::connect(m_remoteAction, &QAction::triggered, m_remoteWindow.get(),
                     [window = m_remoteWindow.get()] { showAndRaise(window); });
    // After "Remote"; no shortcut, so that no stray key recalls a scene.
    m_scenesWindow = std::make_unique<ScenesWindow>(*core);
    m_scenesAction = new QAction(QStringLiteral("Scenes"), main);
    main->menuBar()->insertAction(main->About2(), m_scenesAction);
    QObject::connect(m_scenesAction, &QAction::triggered, m_scenesWindow.get(),
                     [window = m_scenesWindow.get()] { showAndRaise(window); });
    core->start();
}

// The main window asks for them; they are shown from here.
void ControllerWindows::connectSecondaryWindows()
{
    TForm1 *main = m_form1.get();
    QObject::connect(main, &TForm1::scanWindowRequested, m_form3.get(), [this] { showAndRaise(m_form3.get()); });
    QObject::connect(main, &TForm1::groupWindowRequested, m_form8.get(), [this] { showAndRaise(m_form8.get()); });
    QObject::connect(main->About1(), &QAction::triggered, m_form6.get(), [this] { showAndRaise(m_form6.get()); });
    QObject::connect(main->About2(), &QAction::triggered, m_form2.get(), [this] { showAndRaise(m_form2.get()); });
    main->devicePanel()->setDiagramWindow(m_form4.get());
    QObject::connect(main->devicePanel(), &DevicePanel::diagramRequested, m_form4.get(),
                     [this] { showAndRaise(m_form4.get()); });
    QObject::connect(main, &TForm1::treePressed, m_form4.get(), [this] { refreshDiagramAfterPress(); });
}

// A press in the tree redraws the diagram of a device that answers and hides
// it for one that does not.
void ControllerWindows::refreshDiagramAfterPress()
{
    const tDevice *device = m_core->device(m_form1->selectedDevice());
    if (!device)
        return;
    if (device->linkState() > ThSocket::Offline)
        m_form4->ThreadedTimer1Timer();
    else if (m_form4->isVisible())
        m_form4->hide();
}

// The secondary windows go first; the main window must not reach them then.
ControllerWindows::~ControllerWindows()
{
    m_scenesWindow.reset();
    m_remoteWindow.reset();
    m_remote.reset();
    m_fleet.reset();
    m_form1->devicePanel()->setDiagramWindow(nullptr);
}
