#pragma once
// A message bus of the test's own and a small stand-in for the desktop's disk service on it: block
// devices with a file system and their drives, as the service shows them (object manager, the Block,
// Filesystem and Drive properties, Unmount and PowerOff), so the window's drive watcher can be driven
// without a real disk.

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

class QThread;

namespace testsupport {

// A dbus-daemon for this test program, its address put in DBUS_SYSTEM_BUS_ADDRESS: call before
// anything in the program talks to the system bus.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    bool IsRunning() const { return !m_address.isEmpty(); }
    const QString& Address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

struct FakeDevice {
    QString name;           // sdb1: objects block_devices/sdb1 and drives/sdb1
    std::string mountPoint; // empty while not mounted
    QString fsType = QStringLiteral("vfat");
    QString connectionBus = QStringLiteral("usb");
    bool removable = true;
    bool mediaRemovable = true;
    bool hintSystem = false;
    bool canPowerOff = true;
};

class FakeDiskService {
public:
    // Takes the service's name on the bus at `address`.
    explicit FakeDiskService(const QString& address);
    ~FakeDiskService();
    bool IsRegistered() const;
    // Gives the name up: from now on the bus has no disk service.
    void Stop();

    // A device plugged in with its file system mounted, or gone.
    void Add(const FakeDevice& device);
    void Remove(const QString& name);
    // Unmount answers that a program still holds the file system open.
    void SetBusy(bool busy);
    // The methods called so far: "Unmount sdb1", "PowerOff sdb1".
    QStringList Calls() const;

    class Objects;

private:
    QString m_connectionName;
    QDBusConnection m_bus;
    std::unique_ptr<QThread> m_thread;
    Objects* m_objects = nullptr;
};

} // namespace testsupport
