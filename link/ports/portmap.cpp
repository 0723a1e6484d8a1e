#include "ports/portmap.h"

#include "facts/projector.h"
#include "store/settingsstore.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QStringList>

#include <algorithm>

namespace {

#ifndef Q_OS_WIN
// USB adapters take port numbers from here upwards; COM1 and COM2 stay the
// on-board ports.
constexpr int kFirstUsbPort = 3;
constexpr int kLastMappedPort = Projector::LastPort;

// The [Ports] entries of COM1..COM15, and of COM|port| when it lies beyond,
// by port number, from one reading of the settings file.
QMap<int, QString> portsEntries(int port)
{
    QList<int> ports;
    for (int n = Projector::FirstPort; n <= kLastMappedPort; ++n)
        ports << n;
    if (port > kLastMappedPort)
        ports << port;
    QStringList keys;
    for (int n : ports)
        keys << QStringLiteral("COM%1").arg(n);
    const QStringList texts =
        SettingsStore::read(QString::fromLatin1(SettingsStore::kApplication),
                            QString::fromLatin1(SettingsStore::kPorts), keys, QString());
    QMap<int, QString> entries;
    for (qsizetype i = 0; i < ports.size(); ++i)
        entries.insert(ports[i], texts[i].trimmed());
    return entries;
}
#endif

} // namespace

namespace PortMap {

QString usbAdapterFolder()
{
    const QString folder = qEnvironmentVariable("ORVA_SERIAL_BY_ID");
    return folder.isEmpty() ? QStringLiteral("/dev/serial/by-id") : folder;
}

QString deviceForPort(int port)
{
    if (port < 1)
        return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    const QMap<int, QString> entries = portsEntries(port);
    if (!entries[port].isEmpty())
        return entries[port];
    const QString fallback = QStringLiteral("/dev/ttyS%1").arg(port - 1);
    if (port < kFirstUsbPort || port > kLastMappedPort)
        return fallback;

    // Adapters already reached through an entry keep that number only.
    QStringList named;
    for (int n = Projector::FirstPort; n <= kLastMappedPort; ++n) {
        if (!entries[n].isEmpty()) {
            named << entries[n];
            const QString target = QFileInfo(entries[n]).canonicalFilePath();
            if (!target.isEmpty())
                named << target;
        }
    }
    const QDir folder(usbAdapterFolder());
    QStringList adapters;
    for (const QString &name :
         folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted)) {
        const QString path = folder.filePath(name);
        const QString target = QFileInfo(path).canonicalFilePath();
        if (!named.contains(path) && (target.isEmpty() || !named.contains(target)))
            adapters << path;
    }
    // Plain code-unit order: the same names give the same numbers on every
    // machine and locale.
    std::sort(adapters.begin(), adapters.end());
    int next = 0;
    for (int n = kFirstUsbPort; n <= kLastMappedPort && next < adapters.size(); ++n) {
        if (!entries[n].isEmpty())
            continue;
        if (n == port)
            return adapters[next];
        ++next;
    }
    return fallback;
#endif
}

} // namespace PortMap
