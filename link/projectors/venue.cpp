#include "projectors/venue.h"

#include "ports/netline.h"
#include "ports/portmap.h"
#include "store/settingsstore.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QByteArray kSection = QByteArrayLiteral("Projectors");

// The addresses a venue line may name: the numbered ones. "all" reaches
// every projector of a line and so names none of them.
bool numbered(const Projector::AddressOption &option)
{
    return option.name[0] >= '0' && option.name[0] <= '9';
}

QString numberedNames()
{
    QStringList names;
    for (const auto &option : Projector::AddressOptions) {
        if (numbered(option))
            names << QLatin1String(option.name);
    }
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Reads the port, the first item of the value; the reason when it is no port.
QString readPort(VenueProjector &p)
{
    if (p.port.isEmpty())
        return QStringLiteral("no port is given");
    static const QRegularExpression com(QStringLiteral("^COM([0-9]{1,3})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = com.match(p.port); m.hasMatch()) {
        const int n = m.captured(1).toInt();
        if (!Projector::isPort(n))
            return QStringLiteral("%1 is not a port: COM numbers go from COM%2 to COM%3")
                .arg(quoted(p.port))
                .arg(Projector::FirstPort)
                .arg(Projector::LastPort);
        p.comPort = n;
        p.device = PortMap::deviceForPort(n);
        return QString();
    }
    if (NetLine::isAddress(p.port)) {
        QString why;
        if (!NetLine::parse(p.port, nullptr, &why))
            return QStringLiteral("%1 is not a network address that can be used: %2")
                .arg(quoted(p.port), why);
        p.device = p.port;
        return QString();
    }
    if (QDir::isAbsolutePath(p.port)) {
        p.device = p.port;
        return QString();
    }
    return QStringLiteral("%1 is not a port: give COM%2 to COM%3, a device path from /, or a "
                          "tcp:// or rfc2217:// address")
        .arg(quoted(p.port))
        .arg(Projector::FirstPort)
        .arg(Projector::LastPort);
}

// Reads the items after the port; the reason when one is wrong.
QString readItems(VenueProjector &p, const QStringList &items)
{
    QStringList seen;
    for (const QString &raw : items) {
        const QString item = raw.trimmed();
        if (item.isEmpty())
            return QStringLiteral("an item between commas is empty");
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        const QString key = item.left(equals).trimmed().toLower();
        const QString value = item.mid(equals + 1).trimmed();
        if (equals < 0 || key.isEmpty())
            return QStringLiteral("%1 is not a key=value item").arg(quoted(item));
        static const QStringList keys = {QStringLiteral("address"), QStringLiteral("baud"),
                                         QStringLiteral("pjlink"),
                                         QStringLiteral("pjlink-password")};
        if (!keys.contains(key))
            return QStringLiteral("%1 is not a key: use address, baud, pjlink or pjlink-password")
                .arg(quoted(item.left(equals).trimmed()));
        if (seen.contains(key))
            return QStringLiteral("%1 is given twice").arg(key);
        seen << key;
        if (key == QLatin1String("pjlink")) {
            bool ok = false;
            p.pjlinkPort = value.toInt(&ok);
            if (!ok || p.pjlinkPort < 1 || p.pjlinkPort > 65535
                || value.startsWith(QLatin1Char('+')))
                return QStringLiteral("the PJLink port %1 is not a number from 1 to 65535")
                    .arg(quoted(value));
            continue;
        }
        if (key == QLatin1String("pjlink-password")) {
            // PJLink passwords are at most 32 characters of printable ASCII.
            static const QRegularExpression printable(QStringLiteral("^[!-~]{1,32}$"));
            if (!printable.match(value).hasMatch())
                return QStringLiteral("the PJLink password must be 1 to 32 printable ASCII "
                                      "characters without blanks");
            p.pjlinkPassword = value;
            continue;
        }
        if (key == QLatin1String("baud")) {
            if (value == QLatin1String("9600"))
                p.baudCode = Projector::Baud9600;
            else if (value == QLatin1String("19200"))
                p.baudCode = Projector::Baud19200;
            else
                return QStringLiteral("the baud rate %1 is not 9600 or 19200").arg(quoted(value));
            continue;
        }
        for (const auto &option : Projector::AddressOptions) {
            if (numbered(option) && value == QLatin1String(option.name)) {
                p.address = value;
                p.prefix = QString::fromLatin1(option.prefix);
            }
        }
        if (p.address.isEmpty())
            return QStringLiteral("the address %1 is not %2").arg(quoted(value), numberedNames());
    }
    return QString();
}

QString baudText(quint8 baudCode)
{
    return baudCode == Projector::Baud9600 ? QStringLiteral("9600") : QStringLiteral("19200");
}

// Why |p| cannot go on the line that the usable |earlier| already uses.
QString clash(const VenueProjector &p, const VenueProjector &earlier)
{
    const QString shares = QStringLiteral("shares its line with %1").arg(quoted(earlier.name));
    // One server port is one serial line, whichever way it is reached.
    if (NetLine::isAddress(p.device)
        && p.device.section(QLatin1Char(':'), 0, 0)
                   .compare(earlier.device.section(QLatin1Char(':'), 0, 0), Qt::CaseInsensitive)
               != 0)
        return shares + QStringLiteral(", which reaches it as %1").arg(earlier.device);
    if (p.baudCode != earlier.baudCode)
        return shares
               + QStringLiteral(" at %1 baud; a line has one baud rate")
                     .arg(baudText(earlier.baudCode));
    if (p.address == earlier.address)
        return earlier.address.isEmpty()
                   ? shares + QStringLiteral(", and neither has an address")
                   : shares + QStringLiteral(" at the same address %1").arg(p.address);
    return QString();
}

} // namespace

QString VenueProjector::lineKey() const
{
    NetLine::Endpoint endpoint;
    if (NetLine::isAddress(device) && NetLine::parse(device, &endpoint, nullptr)) {
        const QString host = endpoint.host.toLower();
        // The scheme is left out: tcp:// and rfc2217:// to one server port
        // reach the same serial line.
        return QStringLiteral("net://")
               + (host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']')
                                                  : host)
               + QLatin1Char(':') + QString::number(endpoint.port);
    }
    // A link (/dev/serial/by-id/…) and the device it points to are one line.
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(device) : canonical;
}

namespace Venue {

QList<VenueProjector> parse(QByteArrayView iniText)
{
    QList<VenueProjector> venue;
    QMultiHash<QString, qsizetype> lines; // usable projectors by line
    for (const IniText::Entry &entry : IniText::entries(iniText, kSection)) {
        // A projector put out of use with a comment mark is no projector.
        if (entry.name.startsWith(';') || entry.name.startsWith('#'))
            continue;
        VenueProjector p;
        p.name = IniText::decode(entry.name);
        QStringList items = IniText::decode(entry.value).split(QLatin1Char(','));
        p.port = items.takeFirst().trimmed();
        const auto sameName = [&p](const VenueProjector &other) {
            return other.name.compare(p.name, Qt::CaseInsensitive) == 0;
        };
        if (p.name.isEmpty())
            p.error = QStringLiteral("the name is empty");
        else if (const auto it = std::find_if(venue.cbegin(), venue.cend(), sameName);
                 it != venue.cend())
            p.error =
                QStringLiteral("an earlier line has the same name (%1)").arg(quoted(it->name));
        if (p.error.isEmpty())
            p.error = readPort(p);
        if (p.error.isEmpty())
            p.error = readItems(p, items);
        if (p.error.isEmpty() && p.pjlinkPort != 0) {
            for (const VenueProjector &earlier : std::as_const(venue)) {
                if (earlier.usable() && earlier.pjlinkPort == p.pjlinkPort)
                    p.error = QStringLiteral("the PJLink port %1 is already %2's")
                                  .arg(p.pjlinkPort)
                                  .arg(quoted(earlier.name));
            }
        }
        if (p.error.isEmpty()) {
            // Each line's key is worked out once: following links costs
            // system calls, and a venue may have hundreds of projectors.
            const QString key = p.lineKey();
            QList<qsizetype> earlierOnLine = lines.values(key);
            std::sort(earlierOnLine.begin(), earlierOnLine.end());
            for (const qsizetype earlier : std::as_const(earlierOnLine)) {
                p.error = clash(p, venue[earlier]);
                if (!p.error.isEmpty())
                    break;
            }
            if (p.error.isEmpty())
                lines.insert(key, venue.size());
        }
        venue.append(p);
    }
    return venue;
}

QList<VenueProjector> read()
{
    return parse(SettingsStore::readFile(QString::fromLatin1(SettingsStore::kApplication)));
}

} // namespace Venue
