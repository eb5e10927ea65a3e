#pragma once

// What the operator does with the device panel's group selector, name field
// and group field: each gives the core a command for the selected device. The device
// record keeps its name and group until the device reports the new ones.
// The selector is refilled from the group table whenever the set of groups
// changes. Main thread only.

#include <QObject>

#include <functional>

class QComboBox;
class QLineEdit;
class QWidget;
class ControllerCore;

class DeviceIdentityEditor final : public QObject
{
    Q_OBJECT

public:
    // The selected device's id, 0 when none.
    using SelectedDevice = std::function<quint64()>;

    struct Controls
    {
        QComboBox *groupSelector = nullptr;  // GroupComboBox
        QLineEdit *nameField = nullptr;      // PD_Network_Name
        QLineEdit *groupField = nullptr;     // PD_Network_Group
        QWidget *focusAfterChoice = nullptr; // the device tree
    };

    DeviceIdentityEditor(ControllerCore &core, SelectedDevice selectedDevice, const Controls &controls,
                         QObject *parent = nullptr);

    // Every group name in upper case, sorted.
    void refillGroupSelector();

    // Event handlers, named after their control and event.
    void GroupComboBoxChange(int index);
    void PD_Network_NameKeyDown();
    void PD_Network_GroupKeyDown();

private:
    ControllerCore &m_core;
    SelectedDevice m_selectedDevice;
    Controls m_controls;
};
