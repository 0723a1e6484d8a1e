#pragma once

#include "facts/projector.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

// One line of the user's [Projectors] section: a projector known by name,
// the port that reaches it, and how to address it there.
//
//     Hall A=COM3
//     Room 101=rfc2217://ds-east:4001, address=001, baud=19200
//     Room 102=COM4, pjlink=4352, pjlink-password=secret
//
// The program only reads the section; it never writes it.
struct VenueProjector {
    QString name;    // as written, without surrounding blanks
    QString port;    // as written: "COM3", a device path, "tcp://…" or "rfc2217://…"
    int comPort = 0; // the COM number when the port is one, otherwise 0
    QString device;  // the device or network address the port reaches
    QString address; // "001" to "004"; empty for none
    QString prefix;  // the address prefix in front of each command; empty for none
    quint8 baudCode = Projector::Baud9600;
    int pjlinkPort = 0;     // the TCP port it answers PJLink on; 0 for none
    QString pjlinkPassword; // the PJLink password; empty for none
    // Why the line cannot be used; empty when it can.
    QString error;

    bool usable() const { return error.isEmpty(); }
    // Projectors whose keys are equal share one line (daisy-chained).
    QString lineKey() const;
};

namespace Venue {

// The projectors of |iniText|'s [Projectors] section in file order, bad
// lines included with their reasons.
QList<VenueProjector> parse(QByteArrayView iniText);
// The same, from the settings file.
QList<VenueProjector> read();

} // namespace Venue
