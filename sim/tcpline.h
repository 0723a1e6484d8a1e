#pragma once

class QTcpServer;
class SimLine;
class SimProjector;

// Serves |projector| (or the projectors of |line|) to the clients of
// |server| (already listening), one at a time, as a raw TCP port of a serial
// device server: the bytes are the line's, with no Telnet. A new client
// takes the line over from the previous one and starts clean: nothing the
// previous client sent is kept. Answers wait for a client that does not
// read only up to a bound; beyond it they are dropped, as a full line
// would drop them.
void serveTcpClients(QTcpServer &server, SimProjector &projector);
void serveTcpClients(QTcpServer &server, SimLine &line);
