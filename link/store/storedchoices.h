#pragma once

#include <QString>

// The operator's stored choices: the port number, the baud code and the
// address prefix, kept in the settings file's [StartUP] section. A choice
// that is not stored, or whose text cannot be read as one, reads as no port,
// 19200 baud and no address.
namespace StoredChoices {

// The stored port number, as a 16-bit port field (see portNumberFromText);
// 0 when none is stored. It may lie outside the program's port numbers.
qint16 comPort();
// The stored baud code: 96, or otherwise 192.
quint8 baudCode();
// The stored address prefix when it is one of the address options' prefixes;
// otherwise empty, the prefix of "none".
QString address();

// From now on nothing is stored: the saves below change nothing and report
// success (a window working for one projector of the venue keeps the
// operator's own choices as they are).
void keepNothing();

// Each stores its choice; false when the file could not be written.
bool saveComPort(int port);
bool saveBaudCode(quint8 code);
bool saveAddress(const QString &prefix);

} // namespace StoredChoices
