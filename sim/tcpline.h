#pragma once

class QTcpServer;
class SimProjector;

// Serves |projector| to the clients of |server| (already listening), one at
// a time, as a raw TCP port of a serial device server: the bytes are the
// line's, with no Telnet. A new client takes the line over from the previous
// one and starts clean: nothing the previous client sent is kept.
void serveTcpClients(QTcpServer &server, SimProjector &projector);
