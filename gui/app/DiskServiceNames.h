#pragma once
// The desktop's disk service (UDisks2) as the drive watcher talks to it over D-Bus: its bus name, its
// root object and the interfaces read. The tests' stand-in for the service answers to the same names.

#include <QString>

namespace gui::udisks {

inline const QString kService = QStringLiteral("org.freedesktop.UDisks2");
inline const QString kRoot = QStringLiteral("/org/freedesktop/UDisks2");
inline const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
inline const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
inline const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
inline const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");
inline const QString kFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");

} // namespace gui::udisks
