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
    (*this)[m_count].name = std::move(prepared);
    Q_EMIT groupsChanged();
    return AddResult::Added;
}

int tGroup::findGroup(QStringView name) const
{
    for (int slot = 1; slot <= m_count; ++slot) {
        if ((*this)[slot].name == name)
            return slot;
    }
    return 0;
}

int tGroup::findGroupOfDevice(QStringView deviceGroup) const
{
    if (const int exact = findGroup(deviceGroup))
        return exact;
    return findGroup(preparedName(deviceGroup));
}

void tGroup::removeGroup(int slot)
{
    if (slot < 1 || slot > m_count)
        return;
    for (int s = slot; s < m_count; ++s)
        (*this)[s] = std::move((*this)[s + 1]);
    --m_count;
    Q_EMIT groupsChanged();
}

void tGroup::clearCount()
{
    m_count = 0;
    Q_EMIT groupsChanged();
}
