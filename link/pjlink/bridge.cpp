#include "pjlink/bridge.h"

#include "pjlink/pjlink.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

// The answer for an exchange that brought no reply: the projector cannot
// be reached (ERR4), or another program holds its line (ERR3).
QByteArray failureOf(const VenueLine::Done &done)
{
    if (done.result == VenueLine::Result::PortFailed
        && done.openFailure == MSComm::OpenFailure::InUse)
        return QByteArrayLiteral("ERR3");
    return QByteArrayLiteral("ERR4");
}

// Compares without stopping at the first difference, so that the time taken
// tells nothing about the digest.
bool sameDigest(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff = char(diff | (a[i] ^ b[i]));
    return diff == 0;
}

} // namespace

class PJLinkBridge::Connection : public QObject
{
public:
    Connection(QTcpSocket *socket, size_t served, QObject *parent)
        : QObject(parent)
        , socket(socket)
        , served(served)
    {
        socket->setParent(this);
        idle.setSingleShot(true);
    }

    QTcpSocket *socket;
    const size_t served;
    QByteArray buffer; // read and not yet handled; never more than one line
    QByteArray random; // the greeting's random number; empty without a password
    bool authenticated = false;
    bool busy = false;    // a request waits for the projector
    bool closing = false; // nothing more is read or answered
    bool dropped = false; // closed and no longer counted
    QByteArray request;   // the header of the request under way
    ProjectorState state; // what the projector's replies brought for it
    QTimer idle;
};

PJLinkBridge::PJLinkBridge(Watcher &watcher, const Options &options, QObject *parent)
    : QObject(parent)
    , m_watcher(watcher)
    , m_options(options)
{}

PJLinkBridge::~PJLinkBridge() = default;

bool PJLinkBridge::start(QString *why)
{
    const auto &watched = m_watcher.watched();
    for (size_t i = 0; i < watched.size(); ++i) {
        const VenueProjector &p = watched[i].projector;
        if (p.pjlinkPort == 0)
            continue;
        Served s;
        s.projector = int(i);
        s.password = p.pjlinkPassword.isEmpty() ? m_options.password : p.pjlinkPassword;
        if (s.password.isEmpty() && !m_options.listen.isLoopback() && !m_options.noPassword) {
            *why = QStringLiteral("\"%1\" would answer PJLink on %2 without a password: give it "
                                  "pjlink-password=... in the venue, or --pjlink-password-file, "
                                  "or --pjlink-no-password")
                       .arg(p.name, m_options.listen.toString());
            return false;
        }
        m_servers.push_back(s);
    }
    for (size_t i = 0; i < m_servers.size(); ++i) {
        Served &s = m_servers[i];
        s.server = new QTcpServer(this);
        s.server->setMaxPendingConnections(m_options.maxConnections);
        const VenueProjector &p = watched[size_t(s.projector)].projector;
        if (!s.server->listen(m_options.listen, quint16(p.pjlinkPort))) {
            *why = QStringLiteral("\"%1\" cannot answer PJLink on %2 port %3: %4")
                       .arg(p.name, m_options.listen.toString())
                       .arg(p.pjlinkPort)
                       .arg(s.server->errorString());
            for (Served &other : m_servers)
                delete std::exchange(other.server, nullptr);
            m_servers.clear();
            return false;
        }
        connect(s.server, &QTcpServer::newConnection, this, [this, i]() { accept(i); });
    }
    return true;
}

void PJLinkBridge::accept(size_t index)
{
    Served &s = m_servers[index];
    while (QTcpSocket *socket = s.server->nextPendingConnection()) {
        if (s.connections >= m_options.maxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++s.connections;
        auto *c = new Connection(socket, index, this);
        // Qt keeps no more than one line; the rest waits in the kernel.
        socket->setReadBufferSize(PJLink::kMaxLine);
        c->idle.setInterval(m_options.idleMs);
        connect(&c->idle, &QTimer::timeout, c, [this, c]() { drop(c); });
        connect(socket, &QTcpSocket::readyRead, c, [this, c]() { pump(c); });
        connect(socket, &QTcpSocket::bytesWritten, c, [this, c]() { pump(c); });
        connect(socket, &QTcpSocket::disconnected, c, [this, c]() { drop(c); });
        if (!s.password.isEmpty())
            c->random = QByteArray::number(QRandomGenerator::system()->generate(), 16)
                            .rightJustified(8, '0');
        c->idle.start();
        socket->write(PJLink::greeting(c->random));
    }
}

void PJLinkBridge::pump(Connection *c)
{
    QTcpSocket *socket = c->socket;
    while (!c->busy && !c->closing && socket->state() == QAbstractSocket::ConnectedState) {
        // A client that does not read its answers is not read either.
        if (socket->bytesToWrite() > PJLink::kMaxLine)
            return;
        // The first line carries the digest in front of its request.
        const qsizetype limit =
            PJLink::kMaxLine
            + (c->random.isEmpty() || c->authenticated ? 0 : PJLink::kDigestLength);
        const qsizetype cr = c->buffer.indexOf('\r');
        if (cr < 0) {
            if (c->buffer.size() >= limit) {
                drop(c);
                return;
            }
            const QByteArray more = socket->read(limit - c->buffer.size());
            if (more.isEmpty())
                return;
            c->buffer += more;
            continue;
        }
        if (cr + 1 > limit) {
            drop(c);
            return;
        }
        QByteArray line = c->buffer.left(cr);
        c->buffer.remove(0, cr + 1);
        // A client that ends its lines with CR LF.
        if (line.startsWith('\n'))
            line.remove(0, 1);
        // The idle time runs again once the request is answered.
        c->idle.stop();
        handle(c, line);
    }
}

void PJLinkBridge::drop(Connection *c)
{
    if (c->dropped)
        return;
    c->dropped = true;
    c->closing = true;
    --m_servers[c->served].connections;
    c->idle.stop();
    c->socket->abort();
    c->deleteLater();
}

void PJLinkBridge::reply(Connection *c, const QByteArray &text)
{
    c->busy = false;
    if (c->closing)
        return;
    c->socket->write(PJLink::answer(PJLink::Request{c->request, nullptr, {}}, text));
    c->idle.start();
    QMetaObject::invokeMethod(
        c, [this, c]() { pump(c); }, Qt::QueuedConnection);
}

void PJLinkBridge::handle(Connection *c, QByteArray line)
{
    Served &s = m_servers[c->served];
    if (!c->random.isEmpty() && !c->authenticated) {
        if (!sameDigest(line.left(PJLink::kDigestLength).toLower(),
                        PJLink::digest(c->random, s.password.toUtf8()))) {
            c->closing = true;
            c->socket->write(QByteArrayLiteral("PJLINK ERRA\r"));
            c->socket->disconnectFromHost();
            return;
        }
        c->authenticated = true;
        line.remove(0, PJLink::kDigestLength);
    }
    const PJLink::Request r = PJLink::parse(line);
    if (r.header.isEmpty()) {
        drop(c);
        return;
    }
    c->request = r.header;
    c->busy = true;
    if (!r.row) {
        reply(c, r.error);
        return;
    }
    const PJLink::Row &row = *r.row;
    const Watcher::Watched &w = m_watcher.watched()[size_t(s.projector)];
    switch (row.from) {
    case PJLink::From::Fixed:
        reply(c, row.text);
        return;
    case PJLink::From::Name:
        reply(c, PJLink::nameValue(w.projector.name));
        return;
    case PJLink::From::Reply:
        command(c, r.header, row.send);
        return;
    case PJLink::From::Power:
    case PJLink::From::Errors:
    case PJLink::From::Lamp:
    case PJLink::From::Input:
        break;
    }
    if (fresh(s)) {
        reply(c, PJLink::fromState(row, w.state));
        return;
    }
    if (w.link == Watcher::Link::Lost) {
        reply(c, QByteArrayLiteral("ERR4"));
        return;
    }
    QStringList queries{QLatin1String(row.send)};
    if (row.also)
        queries << QLatin1String(row.also);
    c->state = ProjectorState();
    askNext(c, s.projector, queries, row);
}

void PJLinkBridge::askNext(QPointer<Connection> c, int projector, QStringList queries,
                           const PJLink::Row &row)
{
    if (!c)
        return;
    if (queries.isEmpty()) {
        reply(c, PJLink::fromState(row, c->state));
        return;
    }
    const QString query = queries.takeFirst();
    m_watcher.ask(projector, query, false,
                  [this, c, projector, query, queries, &row](const VenueLine::Done &d) {
                      if (!c)
                          return;
                      if (d.result == VenueLine::Result::PortFailed) {
                          reply(c, failureOf(d));
                          return;
                      }
                      c->state.take(query, d.reply);
                      askNext(c, projector, queries, row);
                  });
}

void PJLinkBridge::command(Connection *c, const QByteArray &header, const char *word)
{
    Served &s = m_servers[c->served];
    const Watcher::Watched &w = m_watcher.watched()[size_t(s.projector)];
    if (w.link == Watcher::Link::Lost) {
        reply(c, QByteArrayLiteral("ERR4"));
        return;
    }
    const size_t index = c->served;
    QPointer<Connection> guard(c);
    const auto send = [this, guard, index, word]() {
        Served &served = m_servers[index];
        served.lastCommand = QDateTime::currentDateTimeUtc();
        m_watcher.ask(served.projector, QLatin1String(word), true,
                      [this, guard](const VenueLine::Done &d) {
                          if (!guard)
                              return;
                          reply(guard, d.result == VenueLine::Result::Answered
                                           ? PJLink::fromReply(d.reply.toLatin1())
                                           : failureOf(d));
                      });
    };
    // Power is switched only when it is not already changing.
    if (!header.endsWith("POWR")) {
        send();
        return;
    }
    if (fresh(s)) {
        if (PJLink::inTransition(w.state))
            reply(c, QByteArrayLiteral("ERR3"));
        else
            send();
        return;
    }
    m_watcher.ask(s.projector, QStringLiteral("CR0"), true,
                  [this, guard, send](const VenueLine::Done &d) {
                      if (!guard)
                          return;
                      if (d.result != VenueLine::Result::Answered) {
                          reply(guard, failureOf(d));
                          return;
                      }
                      ProjectorState now;
                      now.take(QStringLiteral("CR0"), d.reply);
                      if (PJLink::inTransition(now))
                          reply(guard, QByteArrayLiteral("ERR3"));
                      else
                          send();
                  });
}

bool PJLinkBridge::fresh(const Served &served) const
{
    const Watcher::Watched &w = m_watcher.watched()[size_t(served.projector)];
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const qint64 interval = m_watcher.intervalMs();
    return w.link == Watcher::Link::Open && w.answeredLast && w.lastAnswer.isValid()
           && w.lastAnswer.msecsTo(now) <= interval
           && (!served.lastCommand.isValid() || served.lastCommand.msecsTo(now) > interval);
}
