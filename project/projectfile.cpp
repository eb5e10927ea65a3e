#include "projectfile.h"

#include "inifile.h"
#include "names.h"
#include "scenesections.h"

#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kProgram = u"Program";
constexpr QStringView kRemote = u"Remote";
constexpr QStringView kSignature = u"TALO Amp";
constexpr QStringView kRecallSafe = u"RecallSafe";

// Names come back through the add operations, which pad them with blanks to
// this width again: their padding needs no quotes.
constexpr qsizetype kNamePadding = kMinimumNameLength;

// The six settings in the order they are written, with their bytes.
template<typename Group>
auto settings(Group &group)
{
    return std::array<std::pair<QStringView, decltype(&group.volumeA)>, 6>{{
        {u"Volume.CH_A", &group.volumeA},
        {u"Volume.CH_B", &group.volumeB},
        {u"InputLevel.CH_A", &group.inputLevelA},
        {u"InputLevel.CH_B", &group.inputLevelB},
        {u"Limiter.CH_A", &group.limiterA},
        {u"Limiter.CH_B", &group.limiterB},
    }};
}

QString groupSection(qsizetype n)
{
    return u"Group"_s + QString::number(n);
}

QString deviceSection(qsizetype k)
{
    return u"Device"_s + QString::number(k);
}

// Never more than the tables hold, whatever the file claims.
int boundedCount(int claimed, bool &leftOut)
{
    if (claimed > Project::kCapacity)
        leftOut = true;
    return qBound(0, claimed, Project::kCapacity);
}

} // namespace

std::optional<Project> readProject(const QByteArray &bytes)
{
    const IniFile file(bytes);
    if (file.value(kProgram, u"Name") != kSignature)
        return std::nullopt;

    Project project;
    const int groupCount = boundedCount(file.intValue(kProgram, u"GroupNum"), project.leftOut);
    for (int n = 1; n <= groupCount; ++n) {
        const QString section = groupSection(n);
        ProjectGroup &group = project.groups.emplace_back();
        group.name = file.value(section, u"GroupName");
        group.description = file.value(section, u"GroupDescription");
        for (const auto &[key, byte] : settings(group))
            *byte = static_cast<quint8>(file.intValue(section, key) & 0xFF);
        group.recallSafe = file.intValue(section, kRecallSafe) != 0;
    }
    const int deviceCount = boundedCount(file.intValue(kProgram, u"DeviceNum"), project.leftOut);
    for (int k = 1; k <= deviceCount; ++k) {
        const QString section = deviceSection(k);
        project.devices.append({file.value(section, u"DeviceName"),
                                file.value(section, u"DeviceGroup"),
                                file.value(section, u"DeviceIP")});
    }
    project.scenes = readSceneSections(file, project.groups, project.sceneWarnings);
    for (std::size_t key = 0; key < std::size(ProjectRemote::kKeys); ++key)
        project.remote.values[key] = file.value(kRemote, ProjectRemote::kKeys[key]);
    return project;
}

QByteArray writeProject(const Project &project, const QByteArray &existing)
{
    IniFile file(existing);
    file.setValue(kProgram, u"Name", kSignature);
    file.setIntValue(kProgram, u"GroupNum", static_cast<int>(project.groups.size()));
    for (qsizetype n = 1; n <= project.groups.size(); ++n) {
        const QString section = groupSection(n);
        const ProjectGroup &group = project.groups[n - 1];
        file.setValue(section, u"GroupName", group.name, kNamePadding);
        file.setValue(section, u"GroupDescription", group.description);
        for (const auto &[key, byte] : settings(group))
            file.setIntValue(section, key, *byte);
        // Written when the file held it too, so that a group no longer safe
        // does not read back as safe.
        if (group.recallSafe || !file.value(section, kRecallSafe).isEmpty())
            file.setIntValue(section, kRecallSafe, group.recallSafe ? 1 : 0);
    }
    file.setIntValue(kProgram, u"DeviceNum", static_cast<int>(project.devices.size()));
    for (qsizetype k = 1; k <= project.devices.size(); ++k) {
        const QString section = deviceSection(k);
        const ProjectDevice &device = project.devices[k - 1];
        file.setValue(section, u"DeviceName", device.name, kNamePadding);
        file.setValue(section, u"DeviceGroup", device.group, kNamePadding);
        file.setValue(section, u"DeviceIP", device.address);
    }
    writeSceneSections(file, project.scenes);
    // A key the file held is written even when it is now unset, so that an
    // interface turned off stays off when the file is read again.
    for (std::size_t key = 0; key < std::size(ProjectRemote::kKeys); ++key) {
        const QStringView name = ProjectRemote::kKeys[key];
        if (!project.remote.values[key].isEmpty() || !file.value(kRemote, name).isEmpty())
            file.setValue(kRemote, name, project.remote.values[key]);
    }
    return file.toBytes();
}
