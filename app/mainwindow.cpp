#include "mainwindow.h"

#include "devicepanel.h"
#include "deviceidentityeditor.h"
#include "grouppropertiesbox.h"
#include "operatorhelp.h"
#include "operatornote.h"
#include "projectfileactions.h"
#include "queuefullnote.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QMenuBar>
#include <QPushButton>

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
    // The client area below the menu bar is what the layout is drawn for.
    resize(kClientSize.width(), kClientSize.height() + menuBar()->sizeHint().height());
    move(0, 0);
    rebuildTree();
}

// Hidden while every member is still whole: hiding moves the focus, and a
// field that loses it asks the window for the selection.
TForm1::~TForm1()
{
    hide();
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

    m_groupPropertiesBox = new GroupPropertiesBox(m_core, [this] { return selectedGroup(); }, client);
    m_groupPropertiesBox->hide();
    m_groupPropertiesBox->FaderParameterSend().start();

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

    connect(m_button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(m_checkBox1, &QCheckBox::clicked, this, &TForm1::CheckBox1Click);
    connect(m_treeView1, &DeviceTreeView::mousePressed, this, &TForm1::TreeView1MouseDown);
    connect(m_treeView1, &QTreeWidget::currentItemChanged, this, &TForm1::updateSelection);
    connect(m_treeView1, &QTreeWidget::itemSelectionChanged, this, &TForm1::updateSelection);
    connect(m_treeView1->deleteDeviceAction(), &QAction::triggered, this, &TForm1::DeleteDevice1Click);
    connect(m_treeView1->addGroupAction(), &QAction::triggered, this, &TForm1::AddGroup1Click);
    connect(m_treeView1->deleteGroupAction(), &QAction::triggered, this, &TForm1::DeleteGroup1Click);

    new DeviceIdentityEditor(
        m_core, [this] { return selectedDevice(); },
        {m_devicePanel->GroupComboBox(), m_devicePanel->PD_Network_Name(), m_devicePanel->PD_Network_Group(),
         m_treeView1},
        this);

    connect(&m_core, &ControllerCore::tablesChanged, this, &TForm1::rebuildTree);
    connect(&m_core, &ControllerCore::refreshed, this, &TForm1::Timer1Timer);
    new QueueFullNote(m_core, 0, [this](const QString &text) { m_showMessage(this, text); }, this);
}

void TForm1::updateSelection()
{
    m_selection = m_treeView1->selection();
}

void TForm1::rebuildTree()
{
    m_treeView1->rebuild(m_core.devices(), m_core.groups(), m_checkBox1->isChecked());
    updateSelection();
}

void TForm1::selectDevice(int slot)
{
    QTreeWidgetItem *node = m_treeView1->nodeOf(slot >= 1 && slot <= devices().count() ? devices()[slot].id : 0);
    if (!node)
        return;
    m_treeView1->setCurrentItem(node);
    m_treeView1->scrollToItem(node);
    TreeView1MouseDown(Qt::LeftButton, m_treeView1->visualItemRect(node).center());
}

// The core's 200 ms refresh: tree state images, then device panel, then group panel.
void TForm1::Timer1Timer()
{
    m_treeView1->refreshStateImages(m_core.devices());
    m_devicePanel->refresh();
    m_groupPropertiesBox->refresh();
}

void TForm1::TreeView1MouseDown(Qt::MouseButton button, QPoint pos)
{
    updateSelection();
    m_lastTreePressPoint = pos;
    if (button == Qt::RightButton)
        m_treeView1->attachPopupMenu(pos);
    if (button == Qt::LeftButton)
        m_core.fetchStatus(DeviceTreeView::deviceId(m_treeView1->itemAt(pos)), CommandSource::window());
    Q_EMIT treePressed();
}

void TForm1::DeleteDevice1Click()
{
    const DeviceId device = selectedDevice();
    m_treeView1->clearSelection();
    m_treeView1->setCurrentItem(nullptr);
    updateSelection();
    m_core.deleteDevice(device, CommandSource::window());
}

// The group node under the last press, as it was then; maybe not the selected one.
void TForm1::DeleteGroup1Click()
{
    m_core.deleteGroup(m_treeView1->pressedGroup(), CommandSource::window());
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
