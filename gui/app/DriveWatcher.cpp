#include "app/DriveWatcher.h"

#include "app/DiskServiceNames.h"
#include "platform/MountFilter.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSocketNotifier>
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace gui {
namespace {

using namespace udisks;

// The start-up question waits this long for a service that hangs; changes come as signals.
constexpr int kAskMs = 5000;
// Unmounting flushes what is still cached for the card, which takes a while on a slow card.
constexpr int kUnmountMs = 10 * 60 * 1000;

using Interfaces = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, Interfaces>;

template <class T> T Demarshal(const QVariant& value) {
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<T>(value.value<QDBusArgument>());
    return value.value<T>();
}

// D-Bus byte strings end in a zero byte.
std::string ByteString(QByteArray bytes) {
    while (!bytes.isEmpty() && bytes.back() == '\0')
        bytes.chop(1);
    return bytes.toStdString();
}

bool Flag(const QVariantMap& properties, const char* name) {
    return properties.value(QString::fromLatin1(name)).toBool();
}

} // namespace

CDriveWatcher::CDriveWatcher(QObject* parent) : QObject(parent) {
    if (!StartDiskService())
        StartMountInfo();
    Update();
}

CDriveWatcher::~CDriveWatcher() {
    delete m_notifier;
    if (m_mountInfo >= 0)
        ::close(m_mountInfo);
}

bool CDriveWatcher::StartDiskService() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    // Listening first, then asking: a change that comes in between is applied on top.
    bus.connect(kService, kRoot, kObjectManager, QStringLiteral("InterfacesAdded"), this,
                SLOT(OnInterfacesAdded(QDBusMessage)));
    bus.connect(kService, kRoot, kObjectManager, QStringLiteral("InterfacesRemoved"), this,
                SLOT(OnInterfacesRemoved(QDBusMessage)));
    bus.connect(kService, QString(), kProperties, QStringLiteral("PropertiesChanged"), this,
                SLOT(OnPropertiesChanged(QDBusMessage)));
    const QDBusMessage reply = bus.call(
        QDBusMessage::createMethodCall(kService, kRoot, kObjectManager, QStringLiteral("GetManagedObjects")),
        QDBus::Block, kAskMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        bus.disconnect(kService, kRoot, kObjectManager, QStringLiteral("InterfacesAdded"), this,
                       SLOT(OnInterfacesAdded(QDBusMessage)));
        bus.disconnect(kService, kRoot, kObjectManager, QStringLiteral("InterfacesRemoved"), this,
                       SLOT(OnInterfacesRemoved(QDBusMessage)));
        bus.disconnect(kService, QString(), kProperties, QStringLiteral("PropertiesChanged"), this,
                       SLOT(OnPropertiesChanged(QDBusMessage)));
        return false;
    }
    const auto objects = Demarshal<ManagedObjects>(reply.arguments().constFirst());
    for (auto it = objects.begin(); it != objects.end(); ++it)
        m_objects.insert(it.key().path(), it.value());
    m_diskService = true;
    return true;
}

void CDriveWatcher::StartMountInfo() {
    m_mountInfo = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_mountInfo < 0)
        return;
    // The kernel flags the open file with POLLPRI after each mount or unmount (and clears the flag
    // as it reports it), so no read is needed to wait for the next one.
    m_notifier = new QSocketNotifier(m_mountInfo, QSocketNotifier::Exception);
    connect(m_notifier, &QSocketNotifier::activated, this, &CDriveWatcher::Update);
}

void CDriveWatcher::OnInterfacesAdded(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2)
        return;
    const QString path = args[0].value<QDBusObjectPath>().path();
    const auto added = Demarshal<Interfaces>(args[1]);
    Interfaces& known = m_objects[path];
    for (auto it = added.begin(); it != added.end(); ++it)
        known.insert(it.key(), it.value());
    Update();
}

void CDriveWatcher::OnInterfacesRemoved(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2)
        return;
    const QString path = args[0].value<QDBusObjectPath>().path();
    const auto it = m_objects.find(path);
    if (it == m_objects.end())
        return;
    for (const QString& name : args[1].toStringList())
        it->remove(name);
    if (it->isEmpty())
        m_objects.erase(it);
    Update();
}

void CDriveWatcher::OnPropertiesChanged(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    const auto object = m_objects.find(message.path());
    if (args.size() < 2 || object == m_objects.end() || !object->contains(args[0].toString()))
        return;
    QVariantMap& properties = (*object)[args[0].toString()];
    const auto changed = Demarshal<QVariantMap>(args[1]);
    for (auto it = changed.begin(); it != changed.end(); ++it)
        properties.insert(it.key(), it.value());
    if (args.size() > 2)
        for (const QString& name : args[2].toStringList())
            properties.remove(name);
    Update();
}

void CDriveWatcher::ReadDiskService() {
    m_mounted.clear();
    m_devices.clear();
    for (auto it = m_objects.begin(); it != m_objects.end(); ++it) {
        if (!it->contains(kFilesystem) || !it->contains(kBlock))
            continue;
        const QVariantMap& block = (*it)[kBlock];
        const QString drivePath = Demarshal<QDBusObjectPath>(block.value(QStringLiteral("Drive"))).path();
        const QVariantMap drive = m_objects.value(drivePath).value(kDrive);
        const auto mountPoints =
            Demarshal<QByteArrayList>((*it)[kFilesystem].value(QStringLiteral("MountPoints")));
        for (const QByteArray& mountPoint : mountPoints) {
            platform::DeviceFacts facts;
            facts.mountPoint = ByteString(mountPoint);
            facts.fsType = block.value(QStringLiteral("IdType")).toString().toStdString();
            facts.bus = drive.value(QStringLiteral("ConnectionBus")).toString().toStdString();
            facts.removable = Flag(drive, "Removable");
            facts.mediaRemovable = Flag(drive, "MediaRemovable");
            facts.hintSystem = Flag(block, "HintSystem");
            if (facts.mountPoint.empty() || !platform::IsUserFileSystem(facts.fsType, facts.mountPoint))
                continue;
            m_devices[facts.mountPoint] = {it.key(), drivePath, Flag(drive, "CanPowerOff")};
            m_mounted.push_back(std::move(facts));
        }
    }
    std::sort(m_mounted.begin(), m_mounted.end(),
              [](const auto& a, const auto& b) { return a.mountPoint < b.mountPoint; });
}

void CDriveWatcher::Update() {
    const std::vector<platform::DeviceFacts> before = std::exchange(m_mounted, {});
    if (m_diskService)
        ReadDiskService();
    else
        m_mounted = platform::ProbeMounts();
    const auto same = [](const platform::DeviceFacts& a, const platform::DeviceFacts& b) {
        return a.mountPoint == b.mountPoint && platform::IsRemovableDrive(a) == platform::IsRemovableDrive(b);
    };
    if (!std::equal(before.begin(), before.end(), m_mounted.begin(), m_mounted.end(), same))
        emit mountsChanged();
}

std::vector<std::string> CDriveWatcher::MountPoints() const {
    std::vector<std::string> paths;
    for (const auto& m : platform::ListMounts())
        paths.push_back(m.path);
    for (const auto& facts : m_mounted)
        paths.push_back(facts.mountPoint);
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return paths;
}

bool CDriveWatcher::IsRemovable(const std::string& mountPoint) const {
    return std::any_of(m_mounted.begin(), m_mounted.end(), [&](const platform::DeviceFacts& facts) {
        return facts.mountPoint == mountPoint && platform::IsRemovableDrive(facts);
    });
}

void CDriveWatcher::SafelyRemove(const std::string& mountPoint, const RemovalDone& done) {
    if (!IsRemovable(mountPoint)) {
        done(card::Removal::NotRemovable, {});
        return;
    }
    const auto device = m_devices.find(mountPoint);
    if (!m_diskService || device == m_devices.end()) {
        done(card::Removal::NoDiskService, {});
        return;
    }
    const DeviceObjects objects = device->second;
    QDBusMessage unmount =
        QDBusMessage::createMethodCall(kService, objects.block, kFilesystem, QStringLiteral("Unmount"));
    unmount << QVariantMap();
    auto* call =
        new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(unmount, kUnmountMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, call, objects, done] {
        call->deleteLater();
        const QDBusError error = call->error();
        if (!call->isError()) {
            if (objects.canPowerOff)
                PowerOff(objects.drive, done);
            else
                done(card::Removal::Done, {});
        } else if (error.name() == QStringLiteral("org.freedesktop.UDisks2.Error.DeviceBusy")) {
            done(card::Removal::Busy, {});
        } else if (error.type() == QDBusError::ServiceUnknown || error.type() == QDBusError::Disconnected) {
            done(card::Removal::NoDiskService, {});
        } else {
            done(card::Removal::Failed, error.message().toStdString());
        }
    });
}

void CDriveWatcher::PowerOff(const QString& drive, const RemovalDone& done) {
    QDBusMessage powerOff =
        QDBusMessage::createMethodCall(kService, drive, kDrive, QStringLiteral("PowerOff"));
    powerOff << QVariantMap();
    auto* call = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(powerOff, kAskMs), this);
    // The file system is unmounted and written out by now: pulling the card is safe whether or not
    // the reader could also be switched off.
    connect(call, &QDBusPendingCallWatcher::finished, this, [call, done] {
        call->deleteLater();
        done(card::Removal::Done, {});
    });
}

} // namespace gui
