#pragma once

#include "ports/mscomm.h"

#include <QString>

// Why a port could not be opened, in the words the port dialog shows under
// "Retry Comport" and the command-line program prints.
namespace PortReason {

// |port| is the COM number (below 1 when the caller named the device
// itself), |device| what it stands for, |group| the group that owns the
// device (permission failures), |otherText| the port's own text, used for
// failures without a text of their own and for a server's refusal of the
// line settings (which names the settings).
QString detail(MSComm::OpenFailure failure, int port, const QString &device, const QString &group,
               const QString &otherText);

// "COM3 (/dev/ttyS2)"; just "COM3" where the device has that name; just the
// device when there is no port number.
QString portAndDevice(int port, const QString &device);

} // namespace PortReason
