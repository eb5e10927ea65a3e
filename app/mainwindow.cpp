#include "mainwindow.h"

#include "aboutwindow.h"
#include "commands.h"
#include "devicepanel.h"
#include "deviceidentityeditor.h"
#include "devicetreeview.h"
#include "diagramwindow.h"
#include "groupdialog.h"
#include "grouppropertiesbox.h"
#include "networkstatwindow.h"
#include "operatorhelp.h"
#include "operatornote.h"
#include "projectfileactions.h"
#include "scanwindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeWidgetItemIterator>

using namespace Qt::StringLiterals;

TForm1::TForm1(ControllerCore &core, QWidget *parent)
    : QMainWindow(parent),
      m_core(core),
      m_showMessage(showOperatorNote)
{
    setWindowTitle(u"KRV Amplifier controller v0.3"_s);
    createMenu();
    createControls();
    placeControls();
    connectEvents();
    FormCreate();
}

// Hidden while every member is still whole: hiding moves the focus, and a
// field that loses it asks the window for the selection.
TForm1::~TForm1()
{
    hide();
}

QString TForm1::queryQueueFullText()
{
    return u"NotEnoughDeviceQuerySpace"_s;
}

void TForm1::createMenu()
{
    QMenu *file = menuBar()->addMenu(u"File"_s);
    m_open1 = file->addAction(u"Open..."_s);
    m_saveas1 = file->addAction(u"Save as..."_s);
    file->addSeparator();
    m_n4 = file->addAction(u"Exit"_s);
    m_open1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m_saveas1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    m_n4->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_about1 = menuBar()->addAction(u"Network Stat"_s);
    m_about2 = menuBar()->addAction(u"About"_s);
}

void TForm1::createControls()
{
    auto *client = new QWidget(this);
    setCentralWidget(client);

    m_deviceTreeBox = new QGroupBox(u" Device tree"_s, client);
    m_treeView1 = new DeviceTreeView(m_deviceTreeBox);
    m_button1 = new QPushButton(u"Scan"_s, m_deviceTreeBox);
    m_checkBox1 = new QCheckBox(u"Show IP"_s, m_deviceTreeBox);
    describeControl(m_treeView1, u"TreeView1"_s, u"Device tree"_s,
                    u"Groups and their amplifiers; a right click adds or deletes them"_s);
    describeControl(m_button1, u"Button1"_s, u"Scan"_s, u"Searches a range of addresses for amplifiers"_s);
    describeControl(m_checkBox1, u"CheckBox1"_s, u"Show IP"_s,
                    u"Shows each amplifier's address beside its name in the tree"_s);

    m_groupPropertiesBox = new GroupPropertiesBox(m_core, [this] { return selectedGroupIndex(); }, client);
    m_groupPropertiesBox->hide();

    m_groupBox1 = new QGroupBox(u" Device parameters "_s, client);
    m_groupBox1->hide();
    m_devicePanel = new DevicePanel(m_core, [this] { return selectedDeviceIndex(); }, m_groupBox1);
}

void TForm1::placeControls()
{
    m_deviceTreeBox->setGeometry(8, 0, 193, 689);
    m_treeView1->setGeometry(8, 16, 177, 609);
    m_button1->setGeometry(6, 632, 179, 25);
    m_checkBox1->setGeometry(8, 664, 97, 17);
    m_groupPropertiesBox->setGeometry(208, 0, 801, 313);
    m_groupBox1->setGeometry(208, 320, 801, 369);
}

void TForm1::connectEvents()
{
    m_projectFile = new ProjectFileActions(m_core, this);
    connect(m_open1, &QAction::triggered, m_projectFile, &ProjectFileActions::Open1Click);
    connect(m_saveas1, &QAction::triggered, m_projectFile, &ProjectFileActions::Saveas1Click);
    connect(m_projectFile, &ProjectFileActions::treeRebuildNeeded, this, &TForm1::rebuildTree);
    connect(m_n4, &QAction::triggered, this, &TForm1::N4Click);
    connect(m_about1, &QAction::triggered, this, [this] { showWindow(m_windows.networkStat); });
    connect(m_about2, &QAction::triggered, this, [this] { showWindow(m_windows.about); });

    connect(m_button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(m_checkBox1, &QCheckBox::clicked, this, &TForm1::CheckBox1Click);
    connect(m_treeView1, &DeviceTreeView::mousePressed, this, &TForm1::TreeView1MouseDown);
    connect(m_treeView1, &QTreeWidget::currentItemChanged, this, &TForm1::updateSelection);
    connect(m_treeView1, &QTreeWidget::itemSelectionChanged, this, &TForm1::updateSelection);
    connect(m_treeView1->deleteDeviceAction(), &QAction::triggered, this, &TForm1::DeleteDevice1Click);
    connect(m_treeView1->addGroupAction(), &QAction::triggered, this, &TForm1::AddGroup1Click);
    connect(m_treeView1->deleteGroupAction(), &QAction::triggered, this, &TForm1::DeleteGroup1Click);

    connect(m_devicePanel, &DevicePanel::diagramRequested, this, [this] { showWindow(m_windows.diagram); });
    new DeviceIdentityEditor(
        m_core, [this] { return selectedDeviceIndex(); },
        {m_devicePanel->GroupComboBox(), m_devicePanel->PD_Network_Name(), m_devicePanel->PD_Network_Group(),
         m_treeView1},
        this);

    connect(&m_core, &ControllerCore::tablesChanged, this, &TForm1::rebuildTree);
    connect(&m_core, &ControllerCore::queryQueueFull, this, &TForm1::reportQueryQueueFull);

    m_timer1.setInterval(kTimer1IntervalMs);
    connect(&m_timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    m_faderParameterSend.setInterval(kFaderParameterSendIntervalMs);
    connect(&m_faderParameterSend, &QTimer::timeout, this, &TForm1::FaderParameterSendTimer);
}

void TForm1::FormCreate()
{
    // The client area below the menu bar is what the layout is drawn for.
    resize(kClientSize.width(), kClientSize.height() + menuBar()->sizeHint().height());
    move(0, 0);
    rebuildTree();

    m_timer1.start();
    m_faderParameterSend.start();
}

void TForm1::setSecondaryWindows(const SecondaryWindows &windows)
{
    m_windows = windows;
    m_devicePanel->setDiagramWindow(windows.diagram);
}

int TForm1::selectedGroupIndex() const
{
    const tGroup &groups = m_core.groups();
    for (int slot = 1; slot <= groups.count(); ++slot) {
        if (&groups[slot] == m_selectedGroup)
            return slot;
    }
    return 0;
}

int TForm1::selectedDeviceIndex() const
{
    return m_core.devices().slotOfRecord(m_selectedDevice);
}

void TForm1::updateSelection()
{
    m_selectedGroup = nullptr;
    m_selectedDevice = nullptr;
    const QList<QTreeWidgetItem *> selected = m_treeView1->selectedItems();
    if (selected.isEmpty())
        return;
    const QTreeWidgetItem *node = selected.constFirst();
    if (!node->parent()) {
        m_selectedGroup = DeviceTreeView::groupRecord(node);
    } else {
        m_selectedGroup = DeviceTreeView::groupRecord(node->parent());
        m_selectedDevice = DeviceTreeView::deviceRecord(node);
    }
}

void TForm1::rebuildTree()
{
    m_treeView1->rebuild(m_core.devices(), m_core.groups(), m_checkBox1->isChecked());
    updateSelection();
}

bool TForm1::addOrUpdateDevice(const QString &name, const QString &group, const QString &address)
{
    return m_core.addOrUpdateDevice(name, group, address) != 0;
}

void TForm1::selectDevice(int slot)
{
    const tDevices &devices = m_core.devices();
    const tDevice *record = slot >= 1 && slot <= devices.count() ? &devices[slot] : nullptr;
    for (QTreeWidgetItemIterator it(m_treeView1); record && *it; ++it) {
        if (DeviceTreeView::deviceRecord(*it) == record) {
            m_treeView1->setCurrentItem(*it);
            m_treeView1->scrollToItem(*it);
            TreeView1MouseDown(Qt::LeftButton, m_treeView1->visualItemRect(*it).center());
            return;
        }
    }
}

void TForm1::Timer1Timer()
{
    m_treeView1->refreshStateImages(m_core.devices());
    m_devicePanel->refresh();
    m_groupPropertiesBox->refresh();
}

void TForm1::FaderParameterSendTimer()
{
    m_groupPropertiesBox->sendStep();
}

void TForm1::TreeView1MouseDown(Qt::MouseButton button, QPoint pos)
{
    updateSelection();
    m_lastTreePressPoint = pos;

    if (button == Qt::RightButton)
        m_treeView1->attachPopupMenu(pos);

    if (button == Qt::LeftButton) {
        const tDevice *pressed = DeviceTreeView::deviceRecord(m_treeView1->itemAt(pos));
        if (const int slot = m_core.devices().slotOfRecord(pressed))
            Commands::statusFetch(m_core.devices(), slot);
    }

    refreshDiagramAfterPress();
}

void TForm1::refreshDiagramAfterPress()
{
    const int slot = selectedDeviceIndex();
    if (slot == 0 || !m_windows.diagram)
        return;
    if (m_core.devices()[slot].linkState() > ThSocket::Offline)
        m_windows.diagram->ThreadedTimer1Timer();
    else if (m_windows.diagram->isVisible())
        m_windows.diagram->hide();
}

void TForm1::DeleteDevice1Click()
{
    const int slot = selectedDeviceIndex();
    if (slot == 0)
        return;
    const DeviceId device = m_core.devices()[slot].id;
    m_treeView1->clearSelection();
    m_treeView1->setCurrentItem(nullptr);
    updateSelection();
    m_core.deleteDevice(device);
}

void TForm1::AddGroup1Click()
{
    showWindow(m_windows.group);
}

// Acts on the group node under the last press in the tree, as it was at the
// press, which need not be the selected one.
void TForm1::DeleteGroup1Click()
{
    const QString &name = m_treeView1->pressedGroupName();
    if (!name.isNull())
        m_core.deleteGroup(name);
}

void TForm1::Button1Click()
{
    showWindow(m_windows.scan);
}

void TForm1::CheckBox1Click()
{
    rebuildTree();
}

// Ends the program at once, without asking: nothing is saved.
void TForm1::N4Click()
{
    QCoreApplication::quit();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    event->accept();
    N4Click();
}

// Raised to the "NotEnoughDeviceQuerySpace" note. The note is shown from the
// event loop, not inside the queueing code, and once until it is dismissed:
// the polling tick keeps running while it is open.
void TForm1::reportQueryQueueFull()
{
    if (m_queueFullNotePending)
        return;
    m_queueFullNotePending = true;
    QMetaObject::invokeMethod(this, [this] {
        m_showMessage(this, queryQueueFullText());
        m_queueFullNotePending = false;
    }, Qt::QueuedConnection);
}

void TForm1::showWindow(QWidget *window)
{
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}
