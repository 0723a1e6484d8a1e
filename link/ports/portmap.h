#pragma once

#include <QString>

// Which device a port number (1 = COM1) stands for.
namespace PortMap {

// The device that port number |port| stands for. On Windows "COMn".
// Elsewhere the "COMn" entry of the [Ports] settings section when there
// is one; otherwise USB adapters (the links in usbAdapterFolder(), in
// name order, leaving out those a [Ports] entry already names) take
// COM3 upwards, skipping numbers that have an entry; any other number
// is /dev/ttyS<n-1>. Empty for numbers below 1.
QString deviceForPort(int port);

// The folder of stable USB adapter names: $ORVA_SERIAL_BY_ID when set,
// else /dev/serial/by-id.
QString usbAdapterFolder();

} // namespace PortMap
