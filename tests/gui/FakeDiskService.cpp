#include "FakeDiskService.h"

#include "app/DiskServiceNames.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QMap>
#include <QMutex>
#include <QThread>
#include <QVariantMap>

namespace testsupport {
namespace {

using namespace gui::udisks;

using Interfaces = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, Interfaces>;

QString BlockPath(const QString& name) {
    return kRoot + QStringLiteral("/block_devices/") + name;
}
QString DrivePath(const QString& name) {
    return kRoot + QStringLiteral("/drives/") + name;
}

QByteArrayList MountPoints(const FakeDevice& d) {
    if (d.mountPoint.empty())
        return {};
    return {QByteArray::fromStdString(d.mountPoint) + '\0'};
}

Interfaces DriveInterfaces(const FakeDevice& d) {
    return {{kDrive,
             {{QStringLiteral("ConnectionBus"), d.connectionBus},
              {QStringLiteral("Removable"), d.removable},
              {QStringLiteral("MediaRemovable"), d.mediaRemovable},
              {QStringLiteral("CanPowerOff"), d.canPowerOff}}}};
}

Interfaces BlockInterfaces(const FakeDevice& d) {
    return {{kBlock,
             {{QStringLiteral("Device"), QByteArray("/dev/" + d.name.toUtf8() + '\0')},
              {QStringLiteral("Drive"), QVariant::fromValue(QDBusObjectPath(DrivePath(d.name)))},
              {QStringLiteral("IdType"), d.fsType},
              {QStringLiteral("HintSystem"), d.hintSystem}}},
            {kFilesystem, {{QStringLiteral("MountPoints"), QVariant::fromValue(MountPoints(d))}}}};
}

} // namespace

// The service's objects; answers calls on its own thread, as a service in another process would.
class FakeDiskService::Objects : public QDBusVirtualObject {
public:
    explicit Objects(QDBusConnection bus) : m_bus(std::move(bus)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
        const QString member = message.member();
        QMutexLocker lock(&m_mutex);
        if (member == QStringLiteral("GetManagedObjects")) {
            ManagedObjects objects;
            for (const FakeDevice& d : m_devices) {
                objects.insert(QDBusObjectPath(DrivePath(d.name)), DriveInterfaces(d));
                objects.insert(QDBusObjectPath(BlockPath(d.name)), BlockInterfaces(d));
            }
            m_bus.send(message.createReply(QVariant::fromValue(objects)));
            return true;
        }
        const QString name = message.path().section(QLatin1Char('/'), -1);
        const auto device = m_devices.find(name);
        if (device == m_devices.end() ||
            (member != QStringLiteral("Unmount") && member != QStringLiteral("PowerOff")))
            return false;
        m_calls << member + QLatin1Char(' ') + name;
        if (member == QStringLiteral("Unmount")) {
            if (m_busy) {
                m_bus.send(
                    message.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.DeviceBusy"),
                                             QStringLiteral("target is busy")));
                return true;
            }
            device->mountPoint.clear();
            QDBusMessage changed =
                QDBusMessage::createSignal(BlockPath(name), QStringLiteral("org.freedesktop.DBus.Properties"),
                                           QStringLiteral("PropertiesChanged"));
            changed << kFilesystem
                    << QVariantMap{{QStringLiteral("MountPoints"), QVariant::fromValue(QByteArrayList())}}
                    << QStringList();
            m_bus.send(changed);
        } else {
            // Switched off, the reader leaves the system with its device.
            SendRemoved(name);
            m_devices.erase(device);
        }
        m_bus.send(message.createReply());
        return true;
    }

    void Add(const FakeDevice& d) {
        QMutexLocker lock(&m_mutex);
        m_devices.insert(d.name, d);
        for (const auto& [path, interfaces] : {std::pair{DrivePath(d.name), DriveInterfaces(d)},
                                               std::pair{BlockPath(d.name), BlockInterfaces(d)}}) {
            QDBusMessage added =
                QDBusMessage::createSignal(kRoot, kObjectManager, QStringLiteral("InterfacesAdded"));
            added << QVariant::fromValue(QDBusObjectPath(path)) << QVariant::fromValue(interfaces);
            m_bus.send(added);
        }
    }

    void Remove(const QString& name) {
        QMutexLocker lock(&m_mutex);
        if (m_devices.remove(name))
            SendRemoved(name);
    }

    void SetBusy(bool busy) {
        QMutexLocker lock(&m_mutex);
        m_busy = busy;
    }

    QStringList Calls() const {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }

private:
    void SendRemoved(const QString& name) {
        for (const auto& [path, interfaces] : {std::pair{BlockPath(name), QStringList{kBlock, kFilesystem}},
                                               std::pair{DrivePath(name), QStringList{kDrive}}}) {
            QDBusMessage removed =
                QDBusMessage::createSignal(kRoot, kObjectManager, QStringLiteral("InterfacesRemoved"));
            removed << QVariant::fromValue(QDBusObjectPath(path)) << interfaces;
            m_bus.send(removed);
        }
    }

    QDBusConnection m_bus;
    mutable QMutex m_mutex;
    QMap<QString, FakeDevice> m_devices;
    QStringList m_calls;
    bool m_busy = false;
};

PrivateBus::PrivateBus() {
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                    QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(10000))
        return;
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(10000)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (!m_address.isEmpty())
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.toUtf8());
}

PrivateBus::~PrivateBus() {
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    m_daemon.waitForFinished(10000);
}

FakeDiskService::FakeDiskService(const QString& address)
    : m_connectionName(QStringLiteral("fake-disk-service")),
      m_bus(QDBusConnection::connectToBus(address, m_connectionName)), m_thread(std::make_unique<QThread>()) {
    qDBusRegisterMetaType<QByteArrayList>();
    qDBusRegisterMetaType<Interfaces>();
    qDBusRegisterMetaType<ManagedObjects>();
    m_objects = new Objects(m_bus);
    // Registered first: the connection gives the object a helper child, which moves along with it.
    m_bus.registerVirtualObject(kRoot, m_objects, QDBusConnection::SubPath);
    m_objects->moveToThread(m_thread.get());
    m_thread->start();
    m_bus.registerService(kService);
}

FakeDiskService::~FakeDiskService() {
    Stop();
    m_bus.unregisterObject(kRoot, QDBusConnection::UnregisterTree);
    m_thread->quit();
    m_thread->wait();
    delete m_objects;
    QDBusConnection::disconnectFromBus(m_connectionName);
}

bool FakeDiskService::IsRegistered() const {
    return m_bus.isConnected() && m_bus.interface() && m_bus.interface()->isServiceRegistered(kService);
}

void FakeDiskService::Stop() {
    m_bus.unregisterService(kService);
}

void FakeDiskService::Add(const FakeDevice& device) {
    m_objects->Add(device);
}

void FakeDiskService::Remove(const QString& name) {
    m_objects->Remove(name);
}

void FakeDiskService::SetBusy(bool busy) {
    m_objects->SetBusy(busy);
}

QStringList FakeDiskService::Calls() const {
    return m_objects->Calls();
}

} // namespace testsupport
