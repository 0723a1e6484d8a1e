#pragma once

#include "projectors/watcher.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class QSocketNotifier;
namespace PJLink {
struct Row;
}

// Serves the watcher's projectors as PJLink Class 1 projectors: each one
// that has a PJLink port in the venue listens on it. Queries are answered
// from the watcher's state while it is fresh (answered within one interval
// and no command sent since), otherwise the projector is asked; commands go
// to the front of the projector's line. Both use the watcher's lines, one
// exchange at a time.
class PJLinkBridge : public QObject
{
    Q_OBJECT

public:
    struct Options {
        QString listen = QStringLiteral("127.0.0.1"); // an IPv4 or IPv6 address
        QString password; // for projectors without one of their own; empty for none
        // Listening beyond this machine without a password was asked for.
        bool noPassword = false;
        int idleMs = 30000;
        int maxConnections = 4;
    };

    PJLinkBridge(Watcher &watcher, const Options &options, QObject *parent = nullptr);
    ~PJLinkBridge() override;

    // Listens for every projector with a PJLink port; false and |why| when
    // one cannot be served, and then none is.
    bool start(QString *why);
    // The projectors served, by the watcher's index.
    int served() const { return int(m_servers.size()); }
    // Whether |text| is an IPv4 or IPv6 address to listen on.
    static bool isAddress(const QString &text);

private:
    class Connection;
    struct Served {
        int projector = -1;
        QString password;
        int fd = -1; // listening
        QSocketNotifier *notifier = nullptr;
        int connections = 0;
        QDateTime lastCommand; // the last command sent to the projector
    };

    void accept(size_t index);
    void pump(Connection *connection);
    void send(Connection *connection, const QByteArray &bytes);
    void flush(Connection *connection);
    // Closes at once; the connection is then gone.
    void drop(Connection *connection);
    void handle(Connection *connection, QByteArray line);
    void command(Connection *connection, const QByteArray &header, const char *word);
    void askNext(QPointer<Connection> connection, int projector, QStringList queries,
                 const PJLink::Row &row);
    void reply(Connection *connection, const QByteArray &text);
    bool fresh(const Served &served) const;

    Watcher &m_watcher;
    const Options m_options;
    std::vector<Served> m_servers;
};
