#include "deviceidentityeditor.h"

#include "controllercore.h"
#include "names.h"

#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

DeviceIdentityEditor::DeviceIdentityEditor(ControllerCore &core, SelectedDevice selectedDevice, const Controls &controls,
                                           QObject *parent)
    : QObject(parent),
      m_core(core),
      m_selectedDevice(std::move(selectedDevice)),
      m_controls(controls)
{
    // activated, not currentIndexChanged: only the operator's choice sends.
    connect(m_controls.groupSelector, &QComboBox::activated, this, &DeviceIdentityEditor::GroupComboBoxChange);
    connect(m_controls.nameField, &QLineEdit::returnPressed, this, &DeviceIdentityEditor::PD_Network_NameKeyDown);
    connect(m_controls.groupField, &QLineEdit::returnPressed, this, &DeviceIdentityEditor::PD_Network_GroupKeyDown);
    connect(&m_core.groups(), &tGroup::groupsChanged, this, &DeviceIdentityEditor::refillGroupSelector);
    refillGroupSelector();
}

void DeviceIdentityEditor::refillGroupSelector()
{
    QStringList names;
    const tGroup &groups = m_core.groups();
    names.reserve(groups.count());
    for (int slot = 1; slot <= groups.count(); ++slot)
        names.append(upperCasedAscii(groups[slot].name));
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return QString::localeAwareCompare(a, b) < 0; });
    m_controls.groupSelector->clear();
    m_controls.groupSelector->addItems(names);
}

void DeviceIdentityEditor::GroupComboBoxChange(int index)
{
    const DeviceId device = m_selectedDevice();
    if (device == 0 || index < 0)
        return;
    m_core.setDeviceGroup(device, m_controls.groupSelector->itemText(index), CommandSource::window());
    m_controls.focusAfterChoice->setFocus();
}

void DeviceIdentityEditor::PD_Network_NameKeyDown()
{
    const DeviceId device = m_selectedDevice();
    if (device == 0)
        return;
    QLineEdit *field = m_controls.nameField;
    field->setText(normalizedName(field->text()));
    m_core.setDeviceName(device, field->text(), CommandSource::window());
    m_controls.focusAfterChoice->setFocus();
}

void DeviceIdentityEditor::PD_Network_GroupKeyDown()
{
    const DeviceId device = m_selectedDevice();
    if (device == 0)
        return;
    QLineEdit *field = m_controls.groupField;
    field->setText(upperCasedAscii(field->text()));
    m_core.setDeviceGroup(device, field->text(), CommandSource::window());
}
