#include "projectio.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A descriptor of the file if it is a regular one (or a link to one), else
// -1. Nothing here waits: opening a named pipe would block until a writer
// came, so the type is looked at before the open, and again on what was
// opened (without waiting), in case the name was replaced in between.
int openRegularFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return -1;
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;  // reads of a regular file never wait, non-blocking or not
}

} // namespace

std::optional<QByteArray> readProjectFile(const QString &path)
{
    const int fd = openRegularFile(path);
    if (fd < 0)
        return std::nullopt;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray bytes = file.read(kMaxProjectFileSize + 1);
    if (bytes.size() > kMaxProjectFileSize || file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

bool saveProjectFile(const QString &path, const Project &project)
{
    const QFileInfo target(path);
    QByteArray existing;
    if (target.exists()) {
        if (!target.isFile() || !(target.permissions() & QFileDevice::WriteOwner))
            return false;
        std::optional<QByteArray> bytes = readProjectFile(path);
        if (!bytes)
            return false;
        existing = std::move(*bytes);
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = writeProject(project, existing);
    if (file.write(bytes) != bytes.size())
        return false;  // the temporary file is removed; the target is untouched
    return file.commit();
}
