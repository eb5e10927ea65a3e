#include "startcheck.h"

#include "projectio.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString typeProblem(mode_t mode)
{
    if (S_ISDIR(mode))
        return u"a directory, not a project file"_s;
    if (S_ISFIFO(mode))
        return u"a named pipe, not a regular file"_s;
    if (S_ISSOCK(mode))
        return u"a socket, not a regular file"_s;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return u"a device, not a regular file"_s;
    return u"not a regular file"_s;
}

// In words that do not depend on the C library's language.
QString errnoProblem(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return u"no such file"_s;
    case EACCES:
    case EPERM:
        return u"permission denied"_s;
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

} // namespace

QString projectFileProblem(const QString &path)
{
    if (path.isEmpty())
        return u"no such file"_s;
    const QByteArray name = QFile::encodeName(path);
    struct stat info = {};
    if (::stat(name.constData(), &info) != 0)
        return errnoProblem(errno);
    if (!S_ISREG(info.st_mode))
        return typeProblem(info.st_mode);
    if (::access(name.constData(), R_OK) != 0)
        return errnoProblem(errno);
    if (info.st_size > kMaxProjectFileSize)
        return u"larger than any project file (%1 bytes)"_s.arg(qint64(info.st_size));
    return {};
}

QString sceneOptionProblem(const QString &value)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    if (ok && number >= 1 && number <= 99)
        return {};
    return u"--scene must be a scene number from 1 to 99, not \"%1\""_s.arg(value);
}

QString missingSceneProblem(const QList<int> &projectScenes, int number)
{
    if (projectScenes.contains(number))
        return {};
    return u"--scene %1: the project has no scene %1"_s.arg(number);
}
