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

#include <QRegularExpression>

#include <csignal>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

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

constexpr int MaxCount = 1024;
constexpr int MaxPowerMs = 600000;

// Lets the process hold as many files as it may: each line costs two (a
// pseudo-terminal's two ends, a TCP port's server and client). Returns the
// limit now in force.
rlim_t raiseFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
            getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur;
}

// "001,002": distinct addresses of three hex digits, not FFF (all).
std::optional<QStringList> addresses(const QString &list)
{
    const QStringList ids = list.split(QLatin1Char(','));
    static const QRegularExpression form(QStringLiteral("^[0-9A-F]{3}$"));
    for (qsizetype i = 0; i < ids.size(); ++i) {
        if (!form.match(ids[i]).hasMatch() || ids[i] == QLatin1String("FFF")
            || ids.indexOf(ids[i]) != i)
            return std::nullopt;
    }
    return ids;
}

std::optional<int> number(const QCommandLineParser &parser, const QCommandLineOption &option,
                          int lowest, int highest)
{
    bool ok = false;
    const int n = parser.value(option).toInt(&ok);
    if (!ok || n < lowest || n > highest) {
        QTextStream(stderr) << "orva-sim: --" << option.names().first() << " takes a number from "
                            << lowest << " to " << highest << "\n";
        return std::nullopt;
    }
    return n;
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
    const QCommandLineOption idsOption(
        QStringLiteral("ids"),
        QStringLiteral("Several projectors on each line, one per address (three hex digits, "
                       "comma-separated, e.g. 001,002,003,004). Each answers the commands "
                       "addressed to it; commands without an address are the first one's "
                       "alone; all act on AFFF and none answers. Instead of --id."),
        QStringLiteral("LIST"));
    const QCommandLineOption countOption(
        QStringLiteral("count"),
        QStringLiteral("Serve N lines (1 to %1), each with its own projectors: N "
                       "pseudo-terminals, or with --tcp N consecutive ports from PORT (0: N free "
                       "ports). One path or address is printed per line, in order; --link PATH "
                       "makes PATH-1 to PATH-N. The k-th projector (from 0, line by line) has "
                       "1234 + 111k lamp hours.")
            .arg(MaxCount),
        QStringLiteral("N"));
    const QCommandLineOption warmOption(
        QStringLiteral("warm-ms"),
        QStringLiteral("After power on, report the count down this long before on (default 0)."),
        QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption coolOption(
        QStringLiteral("cool-ms"),
        QStringLiteral("After power off, report cooling down this long before stand-by "
                       "(default 0)."),
        QStringLiteral("MS"), QStringLiteral("0"));
    parser.addOptions({linkOption, idOption, idsOption, countOption, tcpOption, listenOption,
                       warmOption, coolOption, wiredOption});
    parser.process(app); // exits with a message on unknown options, and for --help

    if (!parser.positionalArguments().isEmpty()) {
        QTextStream(stderr) << "orva-sim: unexpected argument "
                            << parser.positionalArguments().first() << "\n";
        return 2;
    }
    if (parser.isSet(wiredOption))
        return wired();

    QStringList ids{parser.value(idOption)};
    if (parser.isSet(idsOption)) {
        const auto list = addresses(parser.value(idsOption));
        if (parser.isSet(idOption) || !list) {
            QTextStream(stderr) << "orva-sim: --ids takes distinct addresses of three hex "
                                   "digits (not FFF), comma-separated, without --id\n";
            return 2;
        }
        ids = *list;
    }
    int count = 1;
    if (parser.isSet(countOption)) {
        const auto n = number(parser, countOption, 1, MaxCount);
        if (!n)
            return 2;
        count = *n;
    }
    const auto warmMs = number(parser, warmOption, 0, MaxPowerMs);
    const auto coolMs = number(parser, coolOption, 0, MaxPowerMs);
    if (!warmMs || !coolMs)
        return 2;

    std::vector<std::unique_ptr<SimLine>> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back(std::make_unique<SimLine>(i, ids, *warmMs, *coolMs));

    const rlim_t files = raiseFileLimit();
    const rlim_t needed = rlim_t(2 * count + 64);
    if (files < needed) {
        QTextStream(stderr) << "orva-sim: " << count << " lines need about " << needed
                            << " open files, but this process may open only " << files << "\n";
        return 1;
    }

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
        if (!ok || port > 65535 || (port > 0 && port + uint(count) - 1 > 65535)) {
            QTextStream(stderr) << "orva-sim: --tcp takes a port number from 0 to " << 65536 - count
                                << "\n";
            return 2;
        }
        if (!address.setAddress(parser.value(listenOption))) {
            QTextStream(stderr) << "orva-sim: --listen takes an IP address\n";
            return 2;
        }
        std::vector<std::unique_ptr<QTcpServer>> servers;
        QStringList printed;
        for (int i = 0; i < count; ++i) {
            auto server = std::make_unique<QTcpServer>();
            const quint16 at = quint16(port ? port + uint(i) : 0);
            if (!server->listen(address, at)) {
                QTextStream(stderr) << "orva-sim: cannot listen on " << address.toString() << ":"
                                    << at << ": " << server->errorString() << "\n";
                return 1;
            }
            serveTcpClients(*server, *lines[size_t(i)]);
            printed << QStringLiteral("tcp://%1:%2")
                           .arg(server->serverAddress().toString())
                           .arg(server->serverPort());
            servers.push_back(std::move(server));
        }
        QTextStream(stdout) << printed.join(QLatin1Char('\n')) << Qt::endl;
        return app.exec();
    }

    // The slave ends stay open here too, so a line survives the program
    // closing and reopening its port.
    std::vector<RawPty> ptys(static_cast<size_t>(count));
    std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
    QStringList links;
    const auto release = [&]() {
        for (const QString &link : std::as_const(links))
            QFile::remove(link);
        for (RawPty &line : ptys)
            line.close();
    };
    const QString link = parser.value(linkOption);
    QStringList printed;
    for (int i = 0; i < count; ++i) {
        RawPty &line = ptys[size_t(i)];
        if (!line.open()) {
            QTextStream(stderr) << "orva-sim: no pseudo-terminal available"
                                << (count > 1
                                        ? QStringLiteral(" (%1 of %2 opened)").arg(i).arg(count)
                                        : QString())
                                << "\n";
            release();
            return 1;
        }
        if (!link.isEmpty()) {
            const QString name =
                parser.isSet(countOption) ? QStringLiteral("%1-%2").arg(link).arg(i + 1) : link;
            QFile::remove(name);
            if (symlink(QFile::encodeName(line.slavePath).constData(),
                        QFile::encodeName(name).constData())
                != 0) {
                QTextStream(stderr) << "orva-sim: cannot create " << name << "\n";
                release();
                return 1;
            }
            links << name;
        }
        printed << line.slavePath;
        const int master = line.master;
        SimLine &projectors = *lines[size_t(i)];
        auto notifier = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [master, &projectors]() {
            char buffer[512];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                return;
            const QByteArray reply = projectors.feed(QByteArray(buffer, int(n)));
            if (!reply.isEmpty())
                (void)!::write(master, reply.constData(), size_t(reply.size()));
        });
        notifiers.push_back(std::move(notifier));
    }
    QTextStream(stdout) << printed.join(QLatin1Char('\n')) << Qt::endl;

    const int rc = app.exec();
    notifiers.clear();
    release();
    return rc;
}
