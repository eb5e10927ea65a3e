#pragma once

// Project files on disk. Each call opens the file for one read or one save and
// releases it before it returns. Main thread; blocking, on local files.

#include "projectfile.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A full project with the longest descriptions takes well under 1 MiB, and
// with 99 scenes each holding 255 groups about 2.2 MiB; a larger file is not
// one written by this program and is not read into memory.
inline constexpr qint64 kMaxProjectFileSize = 4 * 1024 * 1024;

// The whole file; none when it is not a regular file (a named pipe, a device,
// a folder), cannot be read or holds more than kMaxProjectFileSize bytes.
// Never waits for a pipe or a device; reads at most that many bytes.
std::optional<QByteArray> readProjectFile(const QString &path);

// Writes the project into the file, keeping the lines of an existing file that
// the project does not write. The new text goes to a temporary file in the
// same folder that then replaces the target, so that a failure at any point
// leaves the old file as it was. False when the file could not be written: a
// target that is marked read-only (for its owner, whoever runs the program),
// one that exists but cannot be read whole, a folder that does not exist or
// cannot be written, a full disk.
bool saveProjectFile(const QString &path, const Project &project);
