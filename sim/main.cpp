// orva-sim: a simulated projector, for running ORVA without one. It answers
// on a pseudo-terminal (a local serial line) or on a TCP port (a projector
// behind a serial device server). See --help.

#include "facts/projector.h"
#include "ports/netline.h"
#include "ports/portmap.h"
#include "sim/projector.h"
#include "sim/rawpty.h"
#include "sim/tcpline.h"
#include "store/storedchoices.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTextStream>

#include <csignal>
#include <unistd.h>

namespace {

int wired()
{
    const qint16 port = StoredChoices::comPort();
    if (!Projector::isPort(port))
        return 1;
    const QString device = PortMap::deviceForPort(port);
    // A network address counts as wired when it can be read; whether its
    // server answers shows when ORVA opens it.
    if (NetLine::isAddress(device))
        return NetLine::parse(device, nullptr, nullptr) ? 0 : 1;
    return QFileInfo::exists(device) ? 0 : 1;
}

int g_stopPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop notices the byte.
void stop(int)
{
    const char byte = 0;
    (void)!::write(g_stopPipe[1], &byte, 1);
}

bool serveTcp(QTcpServer &server, SimProjector &projector, const QHostAddress &address,
              quint16 port)
{
    if (!server.listen(address, port)) {
        QTextStream(stderr) << "orva-sim: cannot listen on " << address.toString() << ":" << port
                            << ": " << server.errorString() << "\n";
        return false;
    }
    serveTcpClients(server, projector);
    QTextStream(stdout) << "tcp://" << server.serverAddress().toString() << ":"
                        << server.serverPort() << Qt::endl;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orva-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated projector that answers ORVA's commands.\n"
        "Without --tcp it opens a pseudo-terminal, prints the path of its line and answers "
        "there; point a COM number at that path (or at --link) in the [Ports] section.\n"
        "With --tcp it answers on a raw TCP port instead and prints tcp://ADDRESS:PORT; use "
        "that as the [Ports] entry. It speaks no Telnet, so rfc2217:// does not work with it."));
    parser.addHelpOption();
    const QCommandLineOption linkOption(
        QStringLiteral("link"),
        QStringLiteral("Create PATH as a symbolic link to the pseudo-terminal line (removed "
                       "on exit)."),
        QStringLiteral("PATH"));
    const QCommandLineOption idOption(
        QStringLiteral("id"),
        QStringLiteral("The projector's address, three digits (default 001); it answers "
                       "commands without an address and those addressed to it, and acts on "
                       "those to all projectors (AFFF) without answering."),
        QStringLiteral("ID"), QStringLiteral("001"));
    const QCommandLineOption tcpOption(
        QStringLiteral("tcp"),
        QStringLiteral("Serve on TCP port PORT instead of a pseudo-terminal (0 picks a free "
                       "port), raw only: no Telnet, so tcp:// and not rfc2217://. One client "
                       "at a time; a new client takes over and starts clean."),
        QStringLiteral("PORT"));
    const QCommandLineOption listenOption(
        QStringLiteral("listen"),
        QStringLiteral("With --tcp: the address to listen on (default 127.0.0.1, this "
                       "machine only; 0.0.0.0 for every interface)."),
        QStringLiteral("ADDRESS"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption wiredOption(
        QStringLiteral("wired"),
        QStringLiteral("Do not serve: exit with status 0 when ORVA's stored port names a "
                       "device that exists or a well-formed network address, 1 otherwise."));
    parser.addOptions({linkOption, idOption, tcpOption, listenOption, wiredOption});
    parser.process(app); // exits with a message on unknown options, and for --help

    if (!parser.positionalArguments().isEmpty()) {
        QTextStream(stderr) << "orva-sim: unexpected argument "
                            << parser.positionalArguments().first() << "\n";
        return 2;
    }
    if (parser.isSet(wiredOption))
        return wired();

    const QString id = parser.value(idOption);
    SimProjector projector(id);
    if (pipe(g_stopPipe) != 0)
        return 1;
    QSocketNotifier stopper(g_stopPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopper, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGTERM, stop);
    std::signal(SIGINT, stop);

    if (parser.isSet(tcpOption)) {
        bool ok = false;
        const uint port = parser.value(tcpOption).toUInt(&ok);
        QHostAddress address;
        if (!ok || port > 65535) {
            QTextStream(stderr) << "orva-sim: --tcp takes a port number from 0 to 65535\n";
            return 2;
        }
        if (!address.setAddress(parser.value(listenOption))) {
            QTextStream(stderr) << "orva-sim: --listen takes an IP address\n";
            return 2;
        }
        QTcpServer server;
        if (!serveTcp(server, projector, address, quint16(port)))
            return 1;
        return app.exec();
    }

    // The slave end stays open here too, so the line survives the program
    // closing and reopening its port.
    RawPty line;
    if (!line.open()) {
        QTextStream(stderr) << "orva-sim: no pseudo-terminal available\n";
        return 1;
    }
    const int master = line.master;
    const QString link = parser.value(linkOption);
    if (!link.isEmpty()) {
        QFile::remove(link);
        if (symlink(QFile::encodeName(line.slavePath).constData(),
                    QFile::encodeName(link).constData())
            != 0) {
            QTextStream(stderr) << "orva-sim: cannot create " << link << "\n";
            return 1;
        }
    }
    QTextStream(stdout) << line.slavePath << Qt::endl;

    QSocketNotifier notifier(master, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&]() {
        char buffer[512];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            return;
        const QByteArray reply = projector.feed(QByteArray(buffer, int(n)));
        if (!reply.isEmpty())
            (void)!::write(master, reply.constData(), size_t(reply.size()));
    });
    const int rc = app.exec();
    if (!link.isEmpty())
        QFile::remove(link);
    line.close();
    return rc;
}
