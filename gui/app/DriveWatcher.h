#pragma once
// Follows the machine's mounted drives while the program runs: through the desktop's disk service
// (UDisks2 on the system bus, whose address comes from the environment) where it answers, otherwise
// through /proc/self/mountinfo, which the kernel marks with POLLPRI on every mount change. It only
// watches and reports what it knows of each device; card decides which are recorder drives.

#include "card/RecorderDrives.h"
#include "platform/Drives.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <map>
#include <string>
#include <vector>

class QDBusMessage;
class QSocketNotifier;

namespace gui {

class CDriveWatcher : public QObject {
    Q_OBJECT
public:
    using RemovalDone = std::function<void(card::Removal result, const std::string& detail)>;

    explicit CDriveWatcher(QObject* parent = nullptr);
    ~CDriveWatcher() override;

    // True when the disk service answered; false when the watcher follows mountinfo.
    bool UsesDiskService() const { return m_diskService; }
    // The mounted file systems a user can open, with what is known of their devices, sorted.
    const std::vector<platform::DeviceFacts>& Mounted() const { return m_mounted; }
    // The recorder drives among them, then the extra card folders.
    std::vector<std::string> RecorderDrives() const { return card::RecorderDrivesFrom(m_mounted); }
    // Every mount point to offer as a drive in the folder tree: the user's file systems and the
    // devices the disk service has mounted, sorted.
    std::vector<std::string> MountPoints() const;
    // True when `mountPoint` is a removable drive (a card in a reader, a USB stick).
    bool IsRemovable(const std::string& mountPoint) const;
    // Unmounts the file system at `mountPoint`, then powers its drive off where it can; `done` runs
    // later on this thread with the result (and the service's reason when it refused).
    void SafelyRemove(const std::string& mountPoint, const RemovalDone& done);

signals:
    // The mounted file systems have changed (a drive came, went or was mounted elsewhere).
    void mountsChanged();

private slots:
    void OnInterfacesAdded(const QDBusMessage& message);
    void OnInterfacesRemoved(const QDBusMessage& message);
    void OnPropertiesChanged(const QDBusMessage& message);

private:
    // What the disk service has told of one object: its interfaces and their properties.
    using Interfaces = QMap<QString, QVariantMap>;
    // The service's objects behind a mount point.
    struct DeviceObjects {
        QString block;
        QString drive;
        bool canPowerOff = false;
    };

    bool StartDiskService();
    void StartMountInfo();
    void Update();
    void ReadDiskService();
    void PowerOff(const QString& drive, const RemovalDone& done);

    bool m_diskService = false;
    QMap<QString, Interfaces> m_objects;
    std::map<std::string, DeviceObjects> m_devices;
    std::vector<platform::DeviceFacts> m_mounted;
    int m_mountInfo = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace gui
