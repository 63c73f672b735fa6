#pragma once
// GUI suites run in a home of their own: HOME, the settings and the cache folder point into `dir`, which
// holds a Desktop folder (the folder tree selects it at start). False when any of it is missing.

#include <QDir>
#include <QTemporaryDir>

inline bool UseScratchHome(const QTemporaryDir& dir) {
    if (!dir.isValid())
        return false;
    qputenv("HOME", dir.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache")).toUtf8());
    return QDir().mkpath(dir.filePath(QStringLiteral("Desktop")));
}
