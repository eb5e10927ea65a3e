// Project files as they might be found on disk: the loader takes any bytes,
// keeps within the tables' capacity whatever counts the file claims, and what
// it read survives being saved, over the same file and into a new one, and
// read again (projects of up to 16 groups and 16 devices). A line break inside
// a value is saved as a blank, so texts are compared with line breaks as
// blanks; names are compared as the add operations store them, padded with
// blanks to five characters, because padding is saved bare and lost on
// reading; everything else, blanks at their ends included, must come back,
// scenes too: what the reader made of any scene section reads back the same
// and without warnings.

#include "names.h"
#include "projectfile.h"

#include <cstdint>
#include <cstdlib>

namespace {

QString canonical(QString text)
{
    return text.replace(u'\r', u' ').replace(u'\n', u' ');
}

bool sameText(const QString &a, const QString &b)
{
    return canonical(a) == canonical(b);
}

bool sameName(const QString &a, const QString &b)
{
    return paddedName(canonical(a)) == paddedName(canonical(b));
}

bool same(const Project &a, const Project &b)
{
    if (a.groups.size() != b.groups.size() || a.devices.size() != b.devices.size())
        return false;
    for (qsizetype i = 0; i < a.groups.size(); ++i) {
        const ProjectGroup &x = a.groups[i];
        const ProjectGroup &y = b.groups[i];
        if (!sameName(x.name, y.name) || !sameText(x.description, y.description) || x.volumeA != y.volumeA
            || x.volumeB != y.volumeB || x.inputLevelA != y.inputLevelA || x.inputLevelB != y.inputLevelB
            || x.limiterA != y.limiterA || x.limiterB != y.limiterB || x.recallSafe != y.recallSafe)
            return false;
    }
    for (qsizetype i = 0; i < a.devices.size(); ++i) {
        const ProjectDevice &x = a.devices[i];
        const ProjectDevice &y = b.devices[i];
        if (!sameName(x.name, y.name) || !sameName(x.group, y.group) || !sameText(x.address, y.address))
            return false;
    }
    return a.scenes == b.scenes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<Project> project = readProject(bytes);
    if (!project)
        return 0;
    if (project->groups.size() > Project::kCapacity || project->devices.size() > Project::kCapacity)
        std::abort();

    // Saving full tables takes milliseconds; the round trip is checked on
    // smaller projects, so that the fuzzer keeps its pace.
    if (project->groups.size() > 16 || project->devices.size() > 16)
        return 0;
    for (const QByteArray &saved : {writeProject(*project, bytes), writeProject(*project)}) {
        const std::optional<Project> again = readProject(saved);
        if (!again || !same(*project, *again) || !again->sceneWarnings.isEmpty())
            std::abort();
    }
    return 0;
}
