#pragma once

// The main window: the whole operator surface over the controller core, and
// the owner of the selection taken from the device tree. Everything here runs
// on the main thread.

#include "controllercore.h"

#include <QMainWindow>
#include <QPoint>
#include <QTimer>

#include <functional>

class DevicePanel;
class DeviceTreeView;
class GroupPropertiesBox;
class ProjectFileActions;
class QCheckBox;
class QGroupBox;
class QPushButton;
class TForm2;
class TForm3;
class TForm4;
class TForm6;
class TForm8;

class TForm1 final : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr QSize kClientSize{1024, 696};
    static constexpr int kTimer1IntervalMs = 200;
    static constexpr int kFaderParameterSendIntervalMs = 150;

    // The windows created after this one; the main window shows and hides
    // them. Any of them may be missing in a test.
    struct SecondaryWindows
    {
        TForm3 *scan = nullptr;
        TForm6 *networkStat = nullptr;
        TForm8 *group = nullptr;
        TForm4 *diagram = nullptr;
        TForm2 *about = nullptr;
    };

    // A modal note to the operator; replaceable so that tests can observe it.
    using MessageFunction = std::function<void(QWidget *parent, const QString &text)>;

    // The core outlives the window.
    explicit TForm1(ControllerCore &core, QWidget *parent = nullptr);
    ~TForm1() override;

    void setSecondaryWindows(const SecondaryWindows &windows);
    void setMessageFunction(MessageFunction show) { m_showMessage = std::move(show); }

    ControllerCore &core() { return m_core; }
    tDevices &devices() { return m_core.devices(); }
    tGroup &groups() { return m_core.groups(); }

    // Selection: records, never slots or nodes; none after every rebuild.
    tGroupItem *selectedGroup() const { return m_selectedGroup; }
    tDevice *selectedDevice() const { return m_selectedDevice; }
    int selectedGroupIndex() const;   // 1-based slot, 0 when none
    int selectedDeviceIndex() const;  // 1-based slot, 0 when none
    void updateSelection();
    QPoint lastTreePressPoint() const { return m_lastTreePressPoint; }

    // Rebuilds the device tree from both tables; leaves nothing selected.
    void rebuildTree();
    // Adds or updates a device found by a scan or read from a project, then
    // rebuilds the tree. False when the device table is full.
    bool addOrUpdateDevice(const QString &name, const QString &group, const QString &address);
    // Selects the device's node as a left click on it does.
    void selectDevice(int slot);

    // Event handlers, named after their control and event.
    void Timer1Timer();
    void FaderParameterSendTimer();
    void TreeView1MouseDown(Qt::MouseButton button, QPoint pos);
    void DeleteDevice1Click();
    void AddGroup1Click();
    void DeleteGroup1Click();
    void Button1Click();
    void CheckBox1Click();
    void N4Click();

    QTimer &Timer1() { return m_timer1; }
    QTimer &FaderParameterSend() { return m_faderParameterSend; }
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
    // "Open..." and "Save as...": their dialogs and messages.
    ProjectFileActions *projectFile() const { return m_projectFile; }

    static QString queryQueueFullText();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenu();
    void createControls();
    void placeControls();
    void connectEvents();
    void FormCreate();

    void refreshDiagramAfterPress();
    void reportQueryQueueFull();
    static void showWindow(QWidget *window);

    ControllerCore &m_core;
    QTimer m_timer1;
    QTimer m_faderParameterSend;

    tGroupItem *m_selectedGroup = nullptr;
    tDevice *m_selectedDevice = nullptr;
    QPoint m_lastTreePressPoint;

    SecondaryWindows m_windows;
    MessageFunction m_showMessage;
    bool m_queueFullNotePending = false;

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
