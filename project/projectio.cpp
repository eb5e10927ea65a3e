#include "projectio.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

std::optional<QByteArray> readProjectFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
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
