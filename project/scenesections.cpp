#include "scenesections.h"

#include "inifile.h"
#include "names.h"

#include <QSet>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kNumber = u"Number";
constexpr QStringView kName = u"Name";
constexpr QStringView kFade = u"Fade";
constexpr QStringView kGroups = u"Groups";
constexpr QStringView kKinds = u"Kinds";
constexpr QStringView kAllGroups = u"*";
constexpr QChar kSeparator = u',';
// Name, six settings, three links, mute.
constexpr qsizetype kGroupFields = 11;
constexpr int kMaxGroupsPerScene = Project::kCapacity;
// A value is read up to IniFile::kMaxValueLength characters: a long list of
// names goes on in further keys (Groups2, Groups3, ...), each at most this long.
constexpr qsizetype kMaxListLength = 2000;
// A hostile file must not flood the event log.
constexpr qsizetype kMaxWarnings = 32;

constexpr std::array<std::pair<GroupMute, QStringView>, 3> kMuteWords = {{
    {GroupMute::Muted, u"muted"},
    {GroupMute::Unmuted, u"unmuted"},
    {GroupMute::Leave, u"leave"},
}};

QString sceneSection(int k)
{
    return u"Scene"_s + QString::number(k);
}

QString groupsKey(int part)
{
    return part == 1 ? kGroups.toString() : kGroups.toString() + QString::number(part);
}

// The names in as few values as hold them, each within kMaxListLength.
QStringList groupListValues(const QStringList &names)
{
    QStringList values;
    for (const QString &name : names) {
        if (values.isEmpty() || values.last().size() + 1 + name.size() > kMaxListLength)
            values.append(name);
        else
            values.last() += kSeparator + name;
    }
    return values;
}

QString groupKey(int k)
{
    return u"Group"_s + QString::number(k);
}

QString fadeText(int ms)
{
    QString text = QString::number(ms / 1000);
    if (ms % 1000 != 0) {
        QString fraction = u"%1"_s.arg(ms % 1000, 3, 10, QChar(u'0'));
        while (fraction.endsWith(u'0'))
            fraction.chop(1);
        text += u'.' + fraction;
    }
    return text;
}

QString muteWord(GroupMute mute)
{
    for (const auto &[value, word] : kMuteWords) {
        if (value == mute)
            return word.toString();
    }
    return {};
}

QString groupText(const NamedGroupState &group)
{
    const GroupState &s = group.state;
    QStringList fields{group.group};
    for (const int value : {s.volumeA, s.volumeB, s.inputLevelA, s.inputLevelB, s.limiterA, s.limiterB})
        fields.append(QString::number(value));
    for (const bool link : {s.volumeLink, s.inputLevelLink, s.limiterLink})
        fields.append(link ? u"1"_s : u"0"_s);
    fields.append(muteWord(s.mute));
    return fields.join(kSeparator);
}

// Problems found while reading, a bounded number of them.
class Warnings final
{
public:
    explicit Warnings(QStringList &out)
        : m_out(out)
    {
    }
    ~Warnings()
    {
        if (m_unsaid > 0)
            m_out.append(u"Scenes: %1 more problems in the scene sections"_s.arg(m_unsaid));
    }
    Q_DISABLE_COPY_MOVE(Warnings)

    void add(const QString &section, const QString &text)
    {
        if (m_said < kMaxWarnings) {
            m_out.append(section + u": "_s + text);
            ++m_said;
        } else {
            ++m_unsaid;
        }
    }

private:
    QStringList &m_out;
    qsizetype m_said = 0;
    qsizetype m_unsaid = 0;
};

class SceneReader final
{
public:
    SceneReader(const IniFile &file, const QList<ProjectGroup> &groups, Warnings &warnings)
        : m_file(file)
        , m_warnings(warnings)
    {
        for (const ProjectGroup &group : groups)
            m_groups.insert(preparedName(group.name));
    }

    std::optional<Scene> read(const QString &section);

private:
    std::optional<int> number(const QString &section);
    QString name(const QString &section, int number);
    int fade(const QString &section);
    SceneKinds kinds(const QString &section);
    bool readScope(const QString &section, SceneScope &scope);
    QList<NamedGroupState> groupValues(const QString &section);
    std::optional<NamedGroupState> groupEntry(const QString &section, const QString &key, const QString &text);
    std::optional<QString> knownGroup(QStringView text) const;

    const IniFile &m_file;
    Warnings &m_warnings;
    QSet<QString> m_groups;   // the project's, as the group table holds them
    QSet<int> m_numbers;      // of the scenes read so far
};

std::optional<QString> SceneReader::knownGroup(QStringView text) const
{
    for (const QString &candidate : {preparedName(text), preparedName(text.trimmed())}) {
        if (m_groups.contains(candidate))
            return candidate;
    }
    return std::nullopt;
}

std::optional<int> SceneReader::number(const QString &section)
{
    const QString text = m_file.value(section, kNumber);
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (!ok || number < Scene::kMinNumber || number > Scene::kMaxNumber) {
        m_warnings.add(section, u"Number \"%1\" is not a scene number (1 to 99); scene left out"_s.arg(text));
        return std::nullopt;
    }
    if (m_numbers.contains(number)) {
        m_warnings.add(section, u"scene number %1 is there twice; this one left out"_s.arg(number));
        return std::nullopt;
    }
    m_numbers.insert(number);
    return number;
}

QString SceneReader::name(const QString &section, int number)
{
    const QString text = m_file.value(section, kName);
    switch (checkSceneName(text)) {
    case SceneNameCheck::ControlCharacter:
        m_warnings.add(section, u"Name holds control characters; they are read as blanks"_s);
        break;
    case SceneNameCheck::TooLong:
        m_warnings.add(section, u"Name is longer than 32 characters; cut to 32"_s);
        break;
    case SceneNameCheck::Fine:
        break;
    }
    const QString clean = cleanSceneName(text);
    return clean.isEmpty() ? defaultSceneName(number) : clean;
}

int SceneReader::fade(const QString &section)
{
    const QString text = m_file.value(section, kFade);
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const double seconds = text.toDouble(&ok);  // always with '.', whatever the locale
    if (!ok || !std::isfinite(seconds)) {
        m_warnings.add(section, u"Fade \"%1\" is not a number of seconds; no fade"_s.arg(text));
        return 0;
    }
    const double bounded = std::clamp(seconds, 0.0, Scene::kMaxFadeMs / 1000.0);
    if (bounded != seconds)
        m_warnings.add(section, u"Fade \"%1\" is beyond 0 to 30 s; %2 s taken"_s.arg(text, fadeText(int(bounded * 1000))));
    return static_cast<int>(std::lround(bounded * 1000));
}

SceneKinds SceneReader::kinds(const QString &section)
{
    SceneKinds kinds;
    const QString text = m_file.value(section, kKinds);
    for (const QString &word : text.split(kSeparator, Qt::SkipEmptyParts)) {
        const auto kind = std::find_if(kSceneKindOrder.cbegin(), kSceneKindOrder.cend(), [&word](SceneKind k) {
            return sceneKindWord(k).compare(word.trimmed(), Qt::CaseInsensitive) == 0;
        });
        if (kind != kSceneKindOrder.cend())
            kinds |= *kind;
        else
            m_warnings.add(section, u"Kinds \"%1\" is not levels, limiters or mutes; left out"_s.arg(word.trimmed()));
    }
    return kinds ? kinds : kAllSceneKinds;
}

// False when the scene names groups, none of which the project holds.
bool SceneReader::readScope(const QString &section, SceneScope &scope)
{
    scope.kinds = kinds(section);
    QString text = m_file.value(section, kGroups);
    scope.allGroups = text.isEmpty() || text == kAllGroups;
    if (scope.allGroups)
        return true;
    for (int part = 2; part <= kMaxGroupsPerScene; ++part) {
        const QString more = m_file.value(section, groupsKey(part));
        if (more.isEmpty())
            break;
        text += kSeparator + more;
    }
    for (const QString &named : text.split(kSeparator, Qt::SkipEmptyParts)) {
        if (const std::optional<QString> group = knownGroup(named)) {
            if (!scope.groups.contains(*group))
                scope.groups.append(*group);
        } else {
            m_warnings.add(section, u"Groups: group \"%1\" is not in the project; left out"_s.arg(named.trimmed()));
        }
    }
    if (!scope.groups.isEmpty())
        return true;
    m_warnings.add(section, u"none of the groups it covers is in the project; scene left out"_s);
    return false;
}

std::optional<NamedGroupState> SceneReader::groupEntry(const QString &section, const QString &key,
                                                       const QString &text)
{
    const QStringList fields = text.split(kSeparator);
    const auto broken = [&] {
        m_warnings.add(section, u"%1 \"%2\" is not a group's values; left out"_s.arg(key, text));
        return std::nullopt;
    };
    if (fields.size() != kGroupFields)
        return broken();
    std::array<int, 9> numbers{};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        bool ok = false;
        numbers[i] = fields[qsizetype(i) + 1].trimmed().toInt(&ok, 10);
        if (!ok)
            return broken();
    }
    const std::optional<QString> group = knownGroup(fields[0]);
    if (!group) {
        m_warnings.add(section, u"%1: group \"%2\" is not in the project; left out"_s.arg(key, fields[0].trimmed()));
        return std::nullopt;
    }

    bool clamped = false;
    const auto bounded = [&clamped](int value, int low, int high) {
        const int inRange = std::clamp(value, low, high);
        clamped = clamped || inRange != value;
        return inRange;
    };
    NamedGroupState entry{*group, {}};
    GroupState &s = entry.state;
    quint8 *const settings[] = {&s.volumeA, &s.volumeB, &s.inputLevelA, &s.inputLevelB, &s.limiterA, &s.limiterB};
    for (std::size_t i = 0; i < std::size(settings); ++i) {
        const bool limiter = i >= 4;
        *settings[i] = static_cast<quint8>(bounded(numbers[i], limiter ? GroupState::kLimiterFloor : 0,
                                                   limiter ? GroupState::kLimiterCeiling : GroupState::kLevelMaximum));
    }
    s.volumeLink = bounded(numbers[6], 0, 1) == 1;
    s.inputLevelLink = bounded(numbers[7], 0, 1) == 1;
    s.limiterLink = bounded(numbers[8], 0, 1) == 1;
    if (clamped)
        m_warnings.add(section, u"%1: values beyond the faders' ranges brought to their nearest end"_s.arg(key));

    const QString mute = fields[10].trimmed();
    const auto word = std::find_if(kMuteWords.cbegin(), kMuteWords.cend(), [&mute](const auto &pair) {
        return pair.second.compare(mute, Qt::CaseInsensitive) == 0;
    });
    if (word == kMuteWords.cend())
        m_warnings.add(section, u"%1: mute \"%2\" is not muted, unmuted or leave; the mute is left alone"_s.arg(key, mute));
    s.mute = word == kMuteWords.cend() ? GroupMute::Leave : word->first;
    return entry;
}

QList<NamedGroupState> SceneReader::groupValues(const QString &section)
{
    QList<NamedGroupState> groups;
    int k = 1;
    for (; k <= kMaxGroupsPerScene; ++k) {
        const QString key = groupKey(k);
        const QString text = m_file.value(section, key);
        if (text.isEmpty())
            return groups;
        std::optional<NamedGroupState> entry = groupEntry(section, key, text);
        if (!entry)
            continue;
        const bool twice = std::any_of(groups.cbegin(), groups.cend(),
                                       [&entry](const NamedGroupState &other) { return other.group == entry->group; });
        if (twice)
            m_warnings.add(section, u"%1: group \"%2\" is there twice; left out"_s.arg(key, entry->group.trimmed()));
        else
            groups.append(std::move(*entry));
    }
    if (!m_file.value(section, groupKey(k)).isEmpty())
        m_warnings.add(section, u"more than %1 groups; %2 and later left out"_s.arg(kMaxGroupsPerScene).arg(groupKey(k)));
    return groups;
}

std::optional<Scene> SceneReader::read(const QString &section)
{
    const std::optional<int> number = this->number(section);
    if (!number)
        return std::nullopt;
    Scene scene;
    scene.number = *number;
    scene.name = name(section, *number);
    scene.fadeMs = fade(section);
    if (!readScope(section, scene.scope)) {
        m_numbers.remove(*number);
        return std::nullopt;
    }
    scene.groups = groupValues(section);
    return scene;
}

} // namespace

QList<Scene> readSceneSections(const IniFile &file, const QList<ProjectGroup> &groups, QStringList &warnings)
{
    Warnings bounded(warnings);
    SceneReader reader(file, groups, bounded);
    QList<Scene> scenes;
    int k = 1;
    for (; k <= Scene::kMaxNumber && file.hasSection(sceneSection(k)); ++k) {
        if (std::optional<Scene> scene = reader.read(sceneSection(k)))
            scenes.append(std::move(*scene));
    }
    if (k > Scene::kMaxNumber && file.hasSection(sceneSection(k)))
        bounded.add(sceneSection(k), u"more than 99 scenes; this one and later ones left out"_s);
    return scenes;
}

void writeSceneSections(IniFile &file, const QList<Scene> &scenes)
{
    int k = 1;
    for (const Scene &scene : scenes) {
        const QString section = sceneSection(k++);
        file.clearSection(section);
        file.setIntValue(section, kNumber, scene.number);
        file.setValue(section, kName, scene.name);
        file.setValue(section, kFade, fadeText(scene.fadeMs));
        const QStringList groups =
            scene.scope.allGroups ? QStringList{kAllGroups.toString()} : groupListValues(scene.scope.groups);
        for (qsizetype part = 0; part < groups.size(); ++part)
            file.setValue(section, groupsKey(int(part + 1)), groups[part]);
        file.setValue(section, kKinds, sceneKindWords(scene.scope.kinds).join(kSeparator));
        for (qsizetype g = 0; g < scene.groups.size(); ++g)
            file.setValue(section, groupKey(int(g + 1)), groupText(scene.groups[g]));
    }
    // Sections of scenes deleted since: the reader would take them up again.
    for (; k <= Scene::kMaxNumber + 1; ++k)
        file.removeSection(sceneSection(k));
}
