#include "sim/tcpline.h"

#include "sim/projector.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

void serveTcpClients(QTcpServer &server, SimProjector &projector)
{
    auto current = std::make_shared<QPointer<QTcpSocket>>();
    QObject::connect(
        &server, &QTcpServer::newConnection, &server, [&server, &projector, current]() {
            while (QTcpSocket *client = server.nextPendingConnection()) {
                if (*current)
                    (*current)->abort();
                *current = client;
                projector.newClient();
                QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
                QObject::connect(client, &QTcpSocket::readyRead, client, [client, &projector]() {
                    const QByteArray reply = projector.feed(client->readAll());
                    if (!reply.isEmpty())
                        client->write(reply);
                });
            }
        });
}
