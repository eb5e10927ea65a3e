#pragma once

// The main window: the operator surface over the controller core. It shows
// the core's tables, holds the selection taken from the device tree (ids,
// never records), and turns every control into a core command from the
// window. The secondary windows are ControllerWindows' to show. Main thread only.

#include "controllercore.h"
#include "devicetreeview.h"

#include <QMainWindow>

#include <functional>

class DevicePanel;
class GroupPropertiesBox;
class ProjectFileActions;
class QCheckBox;
class QGroupBox;
class QPushButton;

class TForm1 final : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr QSize kClientSize{1024, 696};
    static constexpr int kTimer1IntervalMs = ControllerCore::kRefreshIntervalMs;

    // A modal note to the operator; tests replace it.
    using MessageFunction = std::function<void(QWidget *parent, const QString &text)>;

    // The core outlives the window.
    explicit TForm1(ControllerCore &core, QWidget *parent = nullptr);
    ~TForm1() override;

    void setMessageFunction(MessageFunction show) { m_showMessage = std::move(show); }

    ControllerCore &core() { return m_core; }
    const tDevices &devices() const { return m_core.devices(); }
    const tGroup &groups() const { return m_core.groups(); }

    // Selection: ids, never slots or nodes; none after every rebuild.
    GroupId selectedGroup() const { return m_selection.group; }
    DeviceId selectedDevice() const { return m_selection.device; }
    int selectedGroupIndex() const { return groups().slotOfGroup(m_selection.group); }    // 0: none
    int selectedDeviceIndex() const { return devices().slotOfDevice(m_selection.device); } // 0: none
    void updateSelection();
    QPoint lastTreePressPoint() const { return m_lastTreePressPoint; }

    void rebuildTree();  // from both tables; leaves nothing selected
    // A device found by a scan; false when the device table is full.
    bool addOrUpdateDevice(const QString &name, const QString &group, const QString &address)
    {
        return m_core.addOrUpdateDevice(name, group, address) != 0;
    }
    // Selects the device's node (slot 1..count) as a left click on it does.
    void selectDevice(int slot);

    // Event handlers, named after their control and event.
    void Timer1Timer();
    void TreeView1MouseDown(Qt::MouseButton button, QPoint pos);
    void DeleteDevice1Click();
    void AddGroup1Click() { Q_EMIT groupWindowRequested(); }
    void DeleteGroup1Click();
    void Button1Click() { Q_EMIT scanWindowRequested(); }
    void CheckBox1Click() { rebuildTree(); }
    void N4Click();

    DeviceTreeView *TreeView1() const { return m_treeView1; }
    QPushButton *Button1() const { return m_button1; }
    QCheckBox *CheckBox1() const { return m_checkBox1; }
    QGroupBox *deviceTreeBox() const { return m_deviceTreeBox; }
    GroupPropertiesBox *groupPropertiesBox() const { return m_groupPropertiesBox; }
    QGroupBox *GroupBox1() const { return m_groupBox1; }
    DevicePanel *devicePanel() const { return m_devicePanel; }
    QAction *Open1() const { return m_open1; }
    QAction *Saveas1() const { return m_saveas1; }
    QAction *N4() const { return m_n4; }
    QAction *About1() const { return m_about1; }
    QAction *About2() const { return m_about2; }
    ProjectFileActions *projectFile() const { return m_projectFile; }  // "Open...", "Save as..."

Q_SIGNALS:
    void scanWindowRequested();
    void groupWindowRequested();
    void treePressed();  // after the status fetch of a pressed device

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenu();
    void createControls();
    void placeControls();
    void connectEvents();

    ControllerCore &m_core;
    DeviceTreeView::Selection m_selection;
    QPoint m_lastTreePressPoint;
    MessageFunction m_showMessage;

    QGroupBox *m_deviceTreeBox = nullptr;
    DeviceTreeView *m_treeView1 = nullptr;
    QPushButton *m_button1 = nullptr;
    QCheckBox *m_checkBox1 = nullptr;
    GroupPropertiesBox *m_groupPropertiesBox = nullptr;
    QGroupBox *m_groupBox1 = nullptr;
    DevicePanel *m_devicePanel = nullptr;
    QAction *m_open1 = nullptr;
    QAction *m_saveas1 = nullptr;
    QAction *m_n4 = nullptr;
    QAction *m_about1 = nullptr;
    QAction *m_about2 = nullptr;
    ProjectFileActions *m_projectFile = nullptr;
};
