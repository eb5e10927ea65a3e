#include "controllerwindows.h"

#include "aboutwindow.h"
#include "devicetreeview.h"
#include "diagramwindow.h"
#include "fleetwindows.h"
#include "groupdialog.h"
#include "grouptable.h"
#include "mainwindow.h"
#include "networkstatwindow.h"
#include "scanwindow.h"

using namespace Qt::StringLiterals;

ControllerWindows::ControllerWindows(quint16 devicePort)
    : m_form1(std::make_unique<TForm1>(devicePort))
{
    TForm1 *main = m_form1.get();
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
    m_form8->setAddGroupFunction([this, main](const QString &name) {
        const bool full = main->groups().addGroup(name) == tGroup::AddResult::Full;
        main->rebuildTree();
        if (!full)
            m_fleet->logAction(u"Add Group: "_s + name.trimmed());
        return !full;
    });
    m_form4 = std::make_unique<TForm4>(
        [main]() -> const StatusBlock * {
            const int slot = main->selectedDeviceIndex();
            return slot != 0 ? &main->devices()[slot].status : nullptr;
        },
        main);
    m_form2 = std::make_unique<TForm2>();

    m_fleet = std::make_unique<FleetWindows>(*main, m_form3.get());

    main->setSecondaryWindows({m_form3.get(), m_form6.get(), m_form8.get(), m_form4.get(), m_form2.get()});
}

// The secondary windows go first; the main window must not reach them then.
ControllerWindows::~ControllerWindows()
{
    m_fleet.reset();
    m_form1->setSecondaryWindows({});
}
