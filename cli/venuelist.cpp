#include "cli/venuelist.h"

#include "ports/netline.h"
#include "projectors/venue.h"
#include "store/settingsstore.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <optional>

namespace VenueList {

namespace {

// Whether the device is there now; nothing for a network endpoint, which
// is only known when it is opened.
std::optional<bool> present(const VenueProjector &p)
{
    if (p.device.isEmpty() || NetLine::isAddress(p.device))
        return std::nullopt;
    return QFileInfo::exists(p.device);
}

int baud(const VenueProjector &p)
{
    return p.baudCode == Projector::Baud9600 ? 9600 : 19200;
}

QJsonObject toJson(const VenueProjector &p)
{
    const auto orNull = [](const QString &text) {
        return text.isEmpty() ? QJsonValue() : QJsonValue(text);
    };
    const std::optional<bool> here = present(p);
    QJsonObject o;
    o[QStringLiteral("name")] = p.name;
    o[QStringLiteral("port")] = p.port;
    o[QStringLiteral("device")] = orNull(p.device);
    o[QStringLiteral("address")] = orNull(p.address);
    o[QStringLiteral("baud")] = baud(p);
    o[QStringLiteral("present")] = here ? QJsonValue(*here) : QJsonValue();
    o[QStringLiteral("error")] = orNull(p.error);
    return o;
}

} // namespace

int print(bool json, QTextStream &out, QTextStream &err)
{
    const QList<VenueProjector> venue = Venue::read();
    const QString file = SettingsStore::fileName(QString::fromLatin1(SettingsStore::kApplication));
    if (venue.isEmpty()) {
        err << "orvactl: the venue is empty: " << file
            << " has no projector lines in its [Projectors] section.\n";
        return 0;
    }

    qsizetype nameWidth = 0, portWidth = 0, deviceWidth = 0;
    for (const VenueProjector &p : venue) {
        nameWidth = qMax(nameWidth, p.name.size());
        portWidth = qMax(portWidth, p.port.size());
        if (p.usable())
            deviceWidth = qMax(deviceWidth, p.device.size());
    }
    int bad = 0;
    for (const VenueProjector &p : venue) {
        bad += p.usable() ? 0 : 1;
        if (json) {
            out << QString::fromUtf8(QJsonDocument(toJson(p)).toJson(QJsonDocument::Compact))
                << "\n";
            continue;
        }
        out << p.name.leftJustified(nameWidth + 2) << p.port.leftJustified(portWidth + 2);
        if (!p.usable()) {
            out << "error: " << p.error << "\n";
            continue;
        }
        const std::optional<bool> here = present(p);
        out << p.device.leftJustified(deviceWidth + 2)
            << (p.address.isEmpty() ? QStringLiteral("none") : p.address).leftJustified(6)
            << QString::number(baud(p)).leftJustified(7)
            << (!here   ? "checked when opened"
                : *here ? "present"
                        : "absent")
            << "\n";
    }
    out.flush();
    if (bad) {
        err << "orvactl: " << bad << " of " << venue.size() << " projectors in " << file
            << " cannot be used.\n";
        return 1;
    }
    return 0;
}

} // namespace VenueList
