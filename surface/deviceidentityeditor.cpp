#include "deviceidentityeditor.h"

#include "commands.h"
#include "devicetable.h"
#include "groupcommands.h"
#include "grouptable.h"
#include "names.h"

#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

DeviceIdentityEditor::DeviceIdentityEditor(tDevices &devices, tGroup &groups, SelectedSlot selectedSlot,
                                           const Controls &controls, QObject *parent)
    : QObject(parent),
      m_devices(devices),
      m_groups(groups),
      m_selectedSlot(std::move(selectedSlot)),
      m_controls(controls)
{
    // activated, not currentIndexChanged: only the operator's choice sends.
    connect(m_controls.groupSelector, &QComboBox::activated, this, &DeviceIdentityEditor::GroupComboBoxChange);
    connect(m_controls.nameField, &QLineEdit::returnPressed, this, &DeviceIdentityEditor::PD_Network_NameKeyDown);
    connect(m_controls.groupField, &QLineEdit::returnPressed, this, &DeviceIdentityEditor::PD_Network_GroupKeyDown);
    connect(&m_groups, &tGroup::groupsChanged, this, &DeviceIdentityEditor::refillGroupSelector);
    refillGroupSelector();
}

void DeviceIdentityEditor::refillGroupSelector()
{
    QStringList names;
    names.reserve(m_groups.count());
    for (int slot = 1; slot <= m_groups.count(); ++slot)
        names.append(upperCasedAscii(m_groups[slot].name));
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return QString::localeAwareCompare(a, b) < 0; });
    m_controls.groupSelector->clear();
    m_controls.groupSelector->addItems(names);
}

void DeviceIdentityEditor::GroupComboBoxChange(int index)
{
    const int slot = m_selectedSlot();
    if (slot == 0 || index < 0)
        return;
    GroupCommands::deviceGroup(m_devices, m_groups, slot, m_controls.groupSelector->itemText(index));
    Q_EMIT groupSent(slot, m_controls.groupSelector->itemText(index));
    m_controls.focusAfterChoice->setFocus();
}

void DeviceIdentityEditor::PD_Network_NameKeyDown()
{
    const int slot = m_selectedSlot();
    if (slot == 0)
        return;
    QLineEdit *field = m_controls.nameField;
    field->setText(normalizedName(field->text()));
    Commands::deviceName(m_devices, slot, field->text());
    Q_EMIT nameSent(slot, field->text());
    m_controls.focusAfterChoice->setFocus();
}

void DeviceIdentityEditor::PD_Network_GroupKeyDown()
{
    const int slot = m_selectedSlot();
    if (slot == 0)
        return;
    QLineEdit *field = m_controls.groupField;
    field->setText(upperCasedAscii(field->text()));
    GroupCommands::deviceGroup(m_devices, m_groups, slot, field->text());
    Q_EMIT groupSent(slot, field->text());
}
