#include "pjlink/bridge.h"

#include "pjlink/pjlink.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>

#include <optional>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

// An IPv4 or IPv6 address in numbers, with a port.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    bool loopback = false;
};

std::optional<SocketAddress> socketAddress(const QString &text, quint16 port)
{
    SocketAddress a;
    const QByteArray t = text.toLatin1();
    auto *v4 = reinterpret_cast<sockaddr_in *>(&a.storage);
    if (inet_pton(AF_INET, t.constData(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        a.length = sizeof(sockaddr_in);
        a.loopback = (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
        return a;
    }
    auto *v6 = reinterpret_cast<sockaddr_in6 *>(&a.storage);
    if (inet_pton(AF_INET6, t.constData(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        a.length = sizeof(sockaddr_in6);
        a.loopback = IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr);
        return a;
    }
    return std::nullopt;
}

bool wouldBlock()
{
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

} // namespace

class PJLinkBridge::Connection : public QObject
{
public:
    Connection(int fd, size_t served, QObject *parent)
        : QObject(parent)
        , fd(fd)
        , served(served)
        , readable(fd, QSocketNotifier::Read)
        , writable(fd, QSocketNotifier::Write)
    {
        writable.setEnabled(false);
        idle.setSingleShot(true);
    }
    ~Connection() override
    {
        readable.setEnabled(false);
        writable.setEnabled(false);
        if (fd >= 0)
            ::close(fd);
    }

    int fd;
    const size_t served;
    QSocketNotifier readable;
    QSocketNotifier writable;
    QByteArray buffer; // read and not yet handled; never more than one line
    QByteArray out;    // answered and not yet written
    QByteArray random; // the greeting's random number; empty without a password
    bool authenticated = false;
    bool busy = false;      // a request waits for the projector
    bool closing = false;   // nothing more is read or answered
    bool finishing = false; // closed once |out| is written
    bool dropped = false;   // closed and no longer counted
    QByteArray request;     // the header of the request under way
    ProjectorState state;   // what the projector's replies brought for it
    QTimer idle;
};

PJLinkBridge::PJLinkBridge(Watcher &watcher, const Options &options, QObject *parent)
    : QObject(parent)
    , m_watcher(watcher)
    , m_options(options)
{}

PJLinkBridge::~PJLinkBridge()
{
    // The connections close with their own objects; the listening sockets here.
    for (Served &s : m_servers) {
        delete std::exchange(s.notifier, nullptr);
        if (s.fd >= 0)
            ::close(std::exchange(s.fd, -1));
    }
}

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
        const auto address = socketAddress(m_options.listen, 0);
        if (s.password.isEmpty() && !(address && address->loopback) && !m_options.noPassword) {
            *why = QStringLiteral("\"%1\" would answer PJLink on %2 without a password: give it "
                                  "pjlink-password=... in the venue, or --pjlink-password-file, "
                                  "or --pjlink-no-password")
                       .arg(p.name, m_options.listen);
            return false;
        }
        m_servers.push_back(s);
    }
    for (size_t i = 0; i < m_servers.size(); ++i) {
        Served &s = m_servers[i];
        const VenueProjector &p = watched[size_t(s.projector)].projector;
        const auto address = socketAddress(m_options.listen, quint16(p.pjlinkPort));
        QString failure;
        if (address) {
            s.fd =
                ::socket(address->storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            const int on = 1;
            if (s.fd < 0 || ::setsockopt(s.fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0
                || ::bind(s.fd, reinterpret_cast<const sockaddr *>(&address->storage),
                          address->length)
                       != 0
                || ::listen(s.fd, m_options.maxConnections * 2) != 0)
                failure = QString::fromLocal8Bit(std::strerror(errno));
        } else {
            failure = QStringLiteral("not an IP address");
        }
        if (!failure.isEmpty()) {
            *why = QStringLiteral("\"%1\" cannot answer PJLink on %2 port %3: %4")
                       .arg(p.name, m_options.listen)
                       .arg(p.pjlinkPort)
                       .arg(failure);
            for (Served &other : m_servers) {
                delete std::exchange(other.notifier, nullptr);
                if (other.fd >= 0)
                    ::close(std::exchange(other.fd, -1));
            }
            m_servers.clear();
            return false;
        }
        s.notifier = new QSocketNotifier(s.fd, QSocketNotifier::Read, this);
        connect(s.notifier, &QSocketNotifier::activated, this, [this, i]() { accept(i); });
    }
    return true;
}

bool PJLinkBridge::isAddress(const QString &text)
{
    return socketAddress(text, 0).has_value();
}

void PJLinkBridge::accept(size_t index)
{
    Served &s = m_servers[index];
    for (;;) {
        const int fd = ::accept4(s.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        if (s.connections >= m_options.maxConnections) {
            ::close(fd);
            continue;
        }
        ++s.connections;
        auto *c = new Connection(fd, index, this);
        c->idle.setInterval(m_options.idleMs);
        connect(&c->idle, &QTimer::timeout, c, [this, c]() { drop(c); });
        connect(&c->readable, &QSocketNotifier::activated, c, [this, c]() { pump(c); });
        connect(&c->writable, &QSocketNotifier::activated, c, [this, c]() { flush(c); });
        if (!s.password.isEmpty())
            c->random = QByteArray::number(QRandomGenerator::system()->generate(), 16)
                            .rightJustified(8, '0');
        c->idle.start();
        send(c, PJLink::greeting(c->random));
    }
}

void PJLinkBridge::send(Connection *c, const QByteArray &bytes)
{
    c->out += bytes;
    flush(c);
}

void PJLinkBridge::flush(Connection *c)
{
    while (!c->dropped && !c->out.isEmpty()) {
        const ssize_t n = ::send(c->fd, c->out.constData(), size_t(c->out.size()), MSG_NOSIGNAL);
        if (n < 0 && wouldBlock()) {
            c->writable.setEnabled(true);
            return;
        }
        if (n <= 0) {
            drop(c);
            return;
        }
        c->out.remove(0, n);
    }
    if (c->dropped)
        return;
    // Reading stopped while the answers waited; it goes on afresh, not
    // from inside this call.
    const bool waited = c->writable.isEnabled();
    c->writable.setEnabled(false);
    if (c->finishing)
        drop(c);
    else if (waited)
        QMetaObject::invokeMethod(
            c, [this, c]() { pump(c); }, Qt::QueuedConnection);
}

void PJLinkBridge::pump(Connection *c)
{
    while (!c->closing) {
        // A client that does not read its answers is not read either, nor
        // one whose request is under way.
        if (c->busy || c->out.size() > PJLink::kMaxLine) {
            c->readable.setEnabled(false);
            return;
        }
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
            char chunk[PJLink::kMaxLine + PJLink::kDigestLength];
            const ssize_t n = ::read(c->fd, chunk, size_t(limit - c->buffer.size()));
            if (n < 0 && wouldBlock()) {
                c->readable.setEnabled(true);
                return;
            }
            if (n <= 0) {
                drop(c);
                return;
            }
            c->buffer.append(chunk, n);
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
    c->readable.setEnabled(false);
    c->writable.setEnabled(false);
    ::close(std::exchange(c->fd, -1));
    c->deleteLater();
}

void PJLinkBridge::reply(Connection *c, const QByteArray &text)
{
    c->busy = false;
    if (c->closing)
        return;
    send(c, PJLink::answer(PJLink::Request{c->request, nullptr, {}}, text));
    if (c->dropped)
        return;
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
            c->finishing = true;
            send(c, QByteArrayLiteral("PJLINK ERRA\r"));
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
