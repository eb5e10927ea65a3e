#include "grouptable.h"

#include "names.h"

#include <utility>

tGroup::tGroup(QObject *parent)
    : QObject(parent)
{
}

tGroup::AddResult tGroup::addGroup(QStringView name)
{
    QString prepared = preparedName(name);
    if (findGroup(prepared) != 0)
        return AddResult::Exists;
    if (m_count >= kCapacity)
        return AddResult::Full;
    ++m_count;
    (*this)[m_count] = tGroupItem{};
    (*this)[m_count].id = ++m_lastId;
    (*this)[m_count].name = prepared;
    m_slotByName.emplace(std::move(prepared), m_count);
    namesChanged();
    return AddResult::Added;
}

int tGroup::findGroup(QStringView name) const
{
    const auto found = m_slotByName.find(name);
    return found == m_slotByName.end() ? 0 : found->second;
}

int tGroup::slotOfGroup(GroupId id) const
{
    if (id == 0)
        return 0;
    for (int slot = 1; slot <= m_count; ++slot) {
        if ((*this)[slot].id == id)
            return slot;
    }
    return 0;
}

int tGroup::findGroupOfDevice(QStringView deviceGroup) const
{
    const auto remembered = m_groupOfDeviceText.find(deviceGroup);
    if (remembered != m_groupOfDeviceText.end())
        return remembered->second;

    int slot = findGroup(deviceGroup);
    if (slot == 0)
        slot = findGroup(preparedName(deviceGroup));
    if (m_groupOfDeviceText.size() >= kMaxRememberedTexts)
        m_groupOfDeviceText.clear();
    m_groupOfDeviceText.emplace(deviceGroup.toString(), slot);
    return slot;
}

void tGroup::removeGroup(int slot)
{
    if (slot < 1 || slot > m_count)
        return;
    for (int s = slot; s < m_count; ++s)
        (*this)[s] = std::move((*this)[s + 1]);
    --m_count;
    indexNames();
    namesChanged();
}

void tGroup::clearCount()
{
    m_count = 0;
    m_slotByName.clear();
    namesChanged();
}

// Names are unique, but should two slots ever share one, the first wins, as
// a scan from slot 1 would find it.
void tGroup::indexNames()
{
    m_slotByName.clear();
    for (int slot = 1; slot <= m_count; ++slot)
        m_slotByName.emplace((*this)[slot].name, slot);
}

void tGroup::namesChanged()
{
    ++m_namesVersion;
    m_groupOfDeviceText.clear();
    Q_EMIT groupsChanged();
}
