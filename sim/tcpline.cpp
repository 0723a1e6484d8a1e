#include "sim/tcpline.h"

#include "sim/projector.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

namespace {

// Answers waiting to be sent to a client that does not read.
constexpr qint64 MaxUnsent = 64 * 1024;

template<typename Peer>
void serve(QTcpServer &server, Peer &peer)
{
    auto current = std::make_shared<QPointer<QTcpSocket>>();
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, &peer, current]() {
        while (QTcpSocket *client = server.nextPendingConnection()) {
            if (*current)
                (*current)->abort();
            *current = client;
            peer.newClient();
            QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            QObject::connect(client, &QTcpSocket::readyRead, client, [client, &peer]() {
                const QByteArray reply = peer.feed(client->readAll());
                if (!reply.isEmpty() && client->bytesToWrite() < MaxUnsent)
                    client->write(reply);
            });
        }
    });
}

} // namespace

void serveTcpClients(QTcpServer &server, SimProjector &projector)
{
    serve(server, projector);
}

void serveTcpClients(QTcpServer &server, SimLine &line)
{
    serve(server, line);
}
