#pragma once

// Pictures of windows for the documentation, written where the test run keeps
// its output (AMP_TEST_OUTPUT); nothing is written when it is not set.

#include <QDir>
#include <QString>
#include <QWidget>

inline bool saveScreenshot(QWidget &window, const QString &file)
{
    const QString dir = qEnvironmentVariable("AMP_TEST_OUTPUT");
    if (dir.isEmpty())
        return true;
    QDir().mkpath(dir);
    return window.grab().save(dir + u'/' + file);
}
