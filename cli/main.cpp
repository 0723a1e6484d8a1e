// orvactl: sends projector commands from scripts, schedulers and terminals,
// over the same port, framing and decoding as the window.

#include "cli/search.h"
#include "cli/streams.h"
#include "cli/venuelist.h"
#include "cli/venuerun.h"
#include "cli/watch.h"
#include "facts/projector.h"
#include "pjlink/bridge.h"
#include "ports/mscomm.h"
#include "ports/portmap.h"
#include "ports/portreason.h"
#include "protocol/exchange.h"
#include "protocol/linelog.h"
#include "protocol/state.h"
#include "store/settingsstore.h"
#include "store/storedchoices.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTextStream>

#include <memory>
#include <optional>

namespace {

enum Status { Answered = 0, NoAnswer = 1, Usage = 2, PortFailed = 3 };

constexpr int kDefaultTimeoutMs = 1000; // the panel's reply time-out
constexpr int kMaxTimeoutMs = 600000;

QString hex(uchar byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

// Reads the PJLink options of watch into |o|; the reason when one is wrong.
QString pjlinkOptions(bool pjlink, const QString &listen, const QString &passwordFile,
                      bool noPassword, WatchOptions &o)
{
    if (!pjlink) {
        if (!listen.isEmpty() || !passwordFile.isEmpty() || noPassword)
            return QStringLiteral("--pjlink-listen, --pjlink-password-file and "
                                  "--pjlink-no-password go with --pjlink.");
        return QString();
    }
    o.pjlink = true;
    o.pjlinkNoPassword = noPassword;
    if (!listen.isEmpty()) {
        if (!PJLinkBridge::isAddress(listen))
            return QStringLiteral("--pjlink-listen takes an IP address, not \"%1\".").arg(listen);
        o.pjlinkListen = listen;
    }
    if (!passwordFile.isEmpty()) {
        QFile file(passwordFile);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read the PJLink password file %1: %2")
                .arg(passwordFile, file.errorString());
        const QString password = QString::fromUtf8(file.readLine(256)).trimmed();
        static const QRegularExpression printable(QStringLiteral("^[!-~]{1,32}$"));
        if (!printable.match(password).hasMatch())
            return QStringLiteral("the first line of %1 is no PJLink password: 1 to 32 printable "
                                  "ASCII characters without blanks")
                .arg(passwordFile);
        o.pjlinkPassword = password;
    }
    return QString();
}

int usageError(const QString &message)
{
    err() << "orvactl: " << message << "\n"
          << "Try 'orvactl --help'.\n";
    err().flush();
    return Usage;
}

// One command and what came back for it, as printed.
struct ExchangeRecord {
    QString command;      // the command word as given
    QString sent;         // the framed text written, one character per byte
    QString received;     // everything read until the reply was complete
    QString sentText;     // readable forms
    QString receivedText; // the no-answer mark when nothing came
    QString status;       // decoded words, empty when no decoder applies
    // No reply: none was complete within the time-out, or the line was lost.
    bool timedOut = false;
};

// Sends |command| and waits until its exchange ends.
ExchangeRecord ask(Exchange &exchange, const QString &prefix, const QString &command)
{
    QEventLoop loop;
    QObject::connect(&exchange, &Exchange::completed, &loop, &QEventLoop::quit);
    QObject::connect(&exchange, &Exchange::timedOut, &loop, &QEventLoop::quit);
    QObject::connect(&exchange, &Exchange::lineLost, &loop, &QEventLoop::quit);
    if (exchange.start(Exchange::frame(prefix, Exchange::command(command))))
        loop.exec();

    ExchangeRecord ex;
    ex.command = command;
    ex.sent = exchange.sent();
    ex.sentText = exchange.sentText();
    ex.received = exchange.reply();
    ex.receivedText = exchange.replyText();
    // A line that went away brought no reply, whatever came before the close
    // (a busy server's "Port already in use", say).
    ex.timedOut = exchange.outcome() != Exchange::Outcome::Answered || exchange.lost();
    if (const auto status = exchange.replyStatus(command))
        ex.status = status->trimmed();
    return ex;
}

// A command as the user can read it back: control codes and bytes beyond
// ASCII as escapes.
QString visible(const QByteArray &command)
{
    QString s;
    for (const char c : command) {
        const auto byte = uchar(c);
        if (byte < 0x20 || byte > 0x7E)
            s += QStringLiteral("\\x") + hex(byte);
        else
            s += QLatin1Char(c);
    }
    return s;
}

// Why |command| cannot be sent; empty when it can. The projector decides
// about unknown words, but a carriage return would end the frame early and a
// control code or a byte beyond printable ASCII is no part of any command.
QString refusal(const QByteArray &command)
{
    if (command.trimmed().isEmpty())
        return QStringLiteral("an empty command cannot be sent.");
    for (const char c : command) {
        const auto byte = uchar(c);
        if (byte == '\r')
            return QStringLiteral("\"%1\" holds a carriage return; the frame adds the one "
                                  "that ends the command.")
                .arg(visible(command));
        if (byte < 0x20 || byte > 0x7E)
            return QStringLiteral("\"%1\" holds the byte 0x%2, which is not printable ASCII "
                                  "(0x20 to 0x7E); it is not sent.")
                .arg(visible(command), hex(byte));
    }
    return QString();
}

// The positional words as the bytes on the command line. Qt decodes the
// arguments as UTF-8 and turns a byte that is no part of a character into
// U+FFFD, which would hide the byte that a refusal names. Each word is
// matched to the next argument that decodes to it.
QList<QByteArray> typedBytes(int argc, char **argv, const QStringList &words)
{
    QList<QByteArray> typed;
    int next = 1;
    for (const QString &word : words) {
        QByteArray bytes = word.toLocal8Bit();
        for (int i = next; i < argc; ++i) {
            if (QString::fromLocal8Bit(argv[i]) == word) {
                bytes = argv[i];
                next = i + 1;
                break;
            }
        }
        typed.append(bytes);
    }
    return typed;
}

// The prefix of the address option named |name|, in any letter case.
std::optional<QString> addressPrefix(const QString &name)
{
    for (const auto &[option, prefix] : Projector::AddressOptions) {
        if (name.compare(QLatin1String(option), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(prefix);
    }
    return std::nullopt;
}

// The address options' names as a list in words: "none, all, ... or 004".
QString addressNames()
{
    QString names;
    for (int i = 0; i < Projector::AddressOptionCount; ++i) {
        if (i > 0)
            names += i + 1 < Projector::AddressOptionCount ? QStringLiteral(", ")
                                                           : QStringLiteral(" or ");
        names += QLatin1String(Projector::AddressOptions[i].name);
    }
    return names;
}

QJsonObject toJson(const ExchangeRecord &ex)
{
    QJsonObject o;
    o[QStringLiteral("command")] = ex.command;
    o[QStringLiteral("sent")] = ex.sent;
    o[QStringLiteral("received")] = ex.received;
    o[QStringLiteral("sentText")] = ex.sentText;
    o[QStringLiteral("receivedText")] = ex.receivedText;
    o[QStringLiteral("status")] = ex.status.isEmpty() ? QJsonValue() : QJsonValue(ex.status);
    o[QStringLiteral("timedOut")] = ex.timedOut;
    return o;
}

void printJson(const QJsonObject &o)
{
    out() << QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) << "\n";
    out().flush();
}

// |lead| goes in front of every line: the projector's name in a venue run.
void printExchange(const ExchangeRecord &ex, const QString &lead = QString())
{
    out() << lead << "TxD:" << ex.sentText << "\n" << lead << "RxD:" << ex.receivedText << "\n";
    if (!ex.status.isEmpty())
        out() << lead << "Status: " << ex.status << "\n";
    out().flush();
}

// One line of "status": what the query asks, then the decoded words.
void printStatusLine(const ExchangeRecord &ex)
{
    static const std::pair<const char *, const char *> kTopics[] = {
        {"CR0", "Power"},
        {"CR1", "Input"},
        {"CR3", "Lamp"},
        {"CR6", "Temperature"},
    };
    QString topic = ex.command;
    for (const auto &[query, name] : kTopics) {
        if (ex.command == QLatin1String(query))
            topic = QString::fromLatin1(name);
    }
    out() << (topic + QLatin1Char(':')).leftJustified(13);
    if (!ex.status.isEmpty())
        out() << ex.status << "\n";
    else if (ex.timedOut && ex.received.isEmpty())
        out() << "no answer\n";
    else
        out() << "not understood:" << ex.receivedText << "\n";
}

ExchangeRecord recordOf(const VenueLine::Done &done)
{
    ExchangeRecord ex;
    ex.command = done.job.command;
    ex.sent = done.sent;
    ex.sentText = done.sentText;
    ex.received = done.reply;
    ex.receivedText = done.replyText;
    if (done.status)
        ex.status = done.status->trimmed();
    ex.timedOut = done.result != VenueLine::Result::Answered;
    return ex;
}

// The projectors named by --projector, in venue order, or every one for
// --all. An unknown name is a usage error: nothing is sent to anyone.
std::optional<QList<VenueProjector>> selected(const QList<VenueProjector> &venue,
                                              const QStringList &names, bool all, QString *why)
{
    for (const QString &name : names) {
        const bool known = std::any_of(venue.cbegin(), venue.cend(), [&](const auto &p) {
            return p.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (!known) {
            *why =
                QStringLiteral("no projector \"%1\" in the [Projectors] section of %2.")
                    .arg(name,
                         SettingsStore::fileName(QString::fromLatin1(SettingsStore::kApplication)));
            return std::nullopt;
        }
    }
    QList<VenueProjector> chosen;
    QStringList seen;
    for (const VenueProjector &p : venue) {
        // A second line of one name is reported, but the name selects the first.
        if (seen.contains(p.name, Qt::CaseInsensitive))
            continue;
        seen.append(p.name);
        if (all || names.contains(p.name, Qt::CaseInsensitive))
            chosen.append(p);
    }
    if (chosen.isEmpty())
        *why = QStringLiteral("the [Projectors] section of %1 names no projector.")
                   .arg(SettingsStore::fileName(QString::fromLatin1(SettingsStore::kApplication)));
    return chosen;
}

// Runs |commands| on every projector of |chosen| at once and prints the
// outcomes in venue order, then command order, whichever answered first.
int runVenue(const QList<VenueProjector> &chosen, const QStringList &commands, bool statusAction,
             bool json, int timeoutMs, const QString &logPath)
{
    VenueRun run(chosen, commands, timeoutMs);
    std::unique_ptr<LineLog> log;
    if (!logPath.isEmpty()) {
        log = std::make_unique<LineLog>(logPath);
        run.setLog(log.get());
    }
    QEventLoop loop;
    QObject::connect(&run, &VenueRun::finished, &loop, &QEventLoop::quit);
    run.start();
    loop.exec();

    int status = Answered;
    QStringList failed;
    for (qsizetype i = 0; i < chosen.size(); ++i) {
        const QString &name = chosen[i].name;
        const VenueRun::Outcome &outcome = run.outcomes()[i];
        ProjectorState state;
        QStringList unanswered;
        for (const VenueLine::Done &done : outcome.exchanges) {
            if (done.sent.isEmpty())
                continue; // never went out: the port had failed
            const ExchangeRecord ex = recordOf(done);
            if (ex.timedOut)
                unanswered.append(ex.command);
            else
                state.take(ex.command, ex.received);
            if (json) {
                QJsonObject o = toJson(ex);
                o[QStringLiteral("projector")] = name;
                printJson(o);
            } else if (!statusAction) {
                printExchange(ex, name + QStringLiteral(": "));
            }
        }
        if (!outcome.failure.isEmpty()) {
            status = PortFailed;
            failed.append(QStringLiteral("%1 (%2)").arg(name, outcome.failure));
        } else if (!unanswered.isEmpty()) {
            status = qMax<int>(status, NoAnswer);
            failed.append(QStringLiteral("%1 (no answer to %2)")
                              .arg(name, unanswered.join(QStringLiteral(", "))));
        }
        if (json) {
            QJsonObject o;
            o[QStringLiteral("projector")] = name;
            if (statusAction)
                o[QStringLiteral("state")] = state.json();
            if (!outcome.failure.isEmpty())
                o[QStringLiteral("error")] = outcome.failure;
            if (o.size() > 1)
                printJson(o);
        } else if (!outcome.failure.isEmpty()) {
            out() << name << ": port failed: " << outcome.failure << "\n";
        } else if (statusAction) {
            out() << name << ": " << state.text() << "\n";
        }
    }
    out().flush();
    if (!failed.isEmpty())
        err() << "orvactl: " << failed.size() << " of " << chosen.size()
              << (chosen.size() == 1 ? " projector" : " projectors")
              << " failed: " << failed.join(QStringLiteral("; ")) << "\n";
    return status;
}

int list(const QStringList &words, bool json)
{
    const auto found = CatalogueSearch::find(words);
    qsizetype width = 0;
    for (const auto &e : found)
        width = qMax(width, e.command.size());
    for (const auto &e : found) {
        if (json) {
            QJsonObject o;
            o[QStringLiteral("command")] = e.command;
            o[QStringLiteral("description")] = e.description;
            o[QStringLiteral("list")] = e.list;
            printJson(o);
        } else {
            out() << e.command.leftJustified(width + 2) << e.description << "\n";
        }
    }
    out().flush();
    return Answered;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvactl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVA_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends commands to a projector on a serial line and prints the replies.\n"
        "\n"
        "  send COMMAND...   send each command and wait for its reply\n"
        "  status            ask the power state, input, lamp hours and temperatures\n"
        "  watch             keep watching the venue and print each change\n"
        "  list [WORD...]    search the command catalogue\n"
        "  projectors        list the venue: the [Projectors] section of the settings\n"
        "\n"
        "Without --port, --device, --baud or --address the window's stored choices\n"
        "are used. With --projector NAME or --all the commands run on projectors of\n"
        "the venue, all lines at once, and every output line names its projector.\n"
        "Exit status: 0 every command was answered, 1 one got no answer,\n"
        "2 usage error (nothing was sent), 3 a port cannot be opened or was lost.\n"
        "watch --pjlink answers PJLink for each projector with a pjlink= port, on\n"
        "--pjlink-listen ADDRESS (default 127.0.0.1), with the password of its venue\n"
        "line or of --pjlink-password-file FILE; beyond this machine only with\n"
        "passwords, or with --pjlink-no-password."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("COM port number N (%1 to %2), through the window's port map.")
            .arg(Projector::FirstPort)
            .arg(Projector::LastPort),
        QStringLiteral("N"));
    const QCommandLineOption deviceOption(
        QStringLiteral("device"), QStringLiteral("Device to open instead of a port number."),
        QStringLiteral("PATH"));
    const QCommandLineOption baudOption(QStringLiteral("baud"),
                                        QStringLiteral("Baud rate: 9600 or 19200."),
                                        QStringLiteral("RATE"));
    const QCommandLineOption addressOption(
        QStringLiteral("address"), QStringLiteral("Projector address: %1.").arg(addressNames()),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption timeoutOption(
        QStringLiteral("timeout"),
        QStringLiteral("Wait at most MS milliseconds for each reply (default 1000)."),
        QStringLiteral("MS"));
    const QCommandLineOption jsonOption(QStringLiteral("json"),
                                        QStringLiteral("Print one JSON object per command."));
    const QCommandLineOption projectorOption(
        QStringLiteral("projector"),
        QStringLiteral("The projector NAME of the venue ([Projectors] in the settings file); "
                       "give it once for each projector."),
        QStringLiteral("NAME"));
    const QCommandLineOption allOption(QStringLiteral("all"),
                                       QStringLiteral("Every projector of the venue."));
    const QCommandLineOption intervalOption(
        QStringLiteral("interval"),
        QStringLiteral("watch: ask each projector every SECONDS seconds (default 60)."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption lampWarnOption(
        QStringLiteral("lamp-warn"),
        QStringLiteral("watch: report a lamp that reaches HOURS hours."), QStringLiteral("HOURS"));
    const QCommandLineOption logOption(
        QStringLiteral("log"),
        QStringLiteral("Append every byte sent and received, with its time, to FILE."),
        QStringLiteral("FILE"));
    const QCommandLineOption metricsOption(
        QStringLiteral("metrics"),
        QStringLiteral("watch: keep the venue's state in FILE, in the Prometheus text format."),
        QStringLiteral("FILE"));
    const QCommandLineOption pjlinkOption(
        QStringLiteral("pjlink"),
        QStringLiteral("watch: answer PJLink for each projector with a pjlink= port."));
    const QCommandLineOption pjlinkListenOption(
        QStringLiteral("pjlink-listen"),
        QStringLiteral("watch: answer PJLink on ADDRESS (default 127.0.0.1)."),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption pjlinkPasswordOption(
        QStringLiteral("pjlink-password-file"),
        QStringLiteral("watch: the PJLink password, the first line of FILE, for projectors "
                       "without their own."),
        QStringLiteral("FILE"));
    const QCommandLineOption pjlinkNoPasswordOption(
        QStringLiteral("pjlink-no-password"),
        QStringLiteral("watch: answer PJLink beyond this machine without a password."));
    parser.addOptions({portOption, deviceOption, baudOption, addressOption, timeoutOption,
                       jsonOption, projectorOption, allOption, intervalOption, lampWarnOption,
                       logOption, metricsOption});
    // Told in the description above: their long names would widen every
    // option's column.
    for (QCommandLineOption option :
         {pjlinkOption, pjlinkListenOption, pjlinkPasswordOption, pjlinkNoPasswordOption}) {
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    parser.addPositionalArgument(QStringLiteral("action"),
                                 QStringLiteral("send, status, watch, list or projectors."));
    parser.addPositionalArgument(QStringLiteral("arguments"),
                                 QStringLiteral("Commands for send, words for list."),
                                 QStringLiteral("[ARGUMENT...]"));

    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        out() << parser.helpText();
        out().flush();
        return Answered;
    }
    if (parser.isSet(versionOption)) {
        out() << "orvactl " << QCoreApplication::applicationVersion() << "\n";
        out().flush();
        return Answered;
    }

    QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usageError(QStringLiteral("say what to do: send, status, list or projectors."));
    const QString action = args.takeFirst();
    const bool json = parser.isSet(jsonOption);

    if (action == QLatin1String("list"))
        return list(args, json);
    if (action == QLatin1String("projectors")) {
        if (!args.isEmpty())
            return usageError(QStringLiteral("projectors takes no arguments."));
        return VenueList::print(json, out(), err());
    }

    const bool watching = action == QLatin1String("watch");
    for (const auto &own : {intervalOption, lampWarnOption, metricsOption, pjlinkOption,
                            pjlinkListenOption, pjlinkPasswordOption, pjlinkNoPasswordOption}) {
        if (parser.isSet(own) && !watching)
            return usageError(
                QStringLiteral("--%1 goes with watch only.").arg(own.names().constFirst()));
    }

    QStringList commands;
    if (watching) {
        if (!args.isEmpty())
            return usageError(QStringLiteral("watch takes no arguments."));
    } else if (action == QLatin1String("send")) {
        if (args.isEmpty())
            return usageError(QStringLiteral("send needs at least one command."));
        for (const QByteArray &command :
             typedBytes(argc, argv, parser.positionalArguments()).mid(1)) {
            const QString why = refusal(command);
            if (!why.isEmpty())
                return usageError(why);
        }
        commands = args;
    } else if (action == QLatin1String("status")) {
        if (!args.isEmpty())
            return usageError(QStringLiteral("status takes no arguments."));
        commands = {QStringLiteral("CR0"), QStringLiteral("CR1"), QStringLiteral("CR3"),
                    QStringLiteral("CR6")};
    } else {
        return usageError(
            QStringLiteral("unknown action \"%1\": use send, status, watch, list or projectors.")
                .arg(action));
    }

    int timeoutMs = kDefaultTimeoutMs;
    if (parser.isSet(timeoutOption)) {
        bool ok = false;
        timeoutMs = parser.value(timeoutOption).toInt(&ok);
        if (!ok || timeoutMs < 1 || timeoutMs > kMaxTimeoutMs)
            return usageError(QStringLiteral("--timeout takes milliseconds from 1 to %1, "
                                             "not \"%2\".")
                                  .arg(kMaxTimeoutMs)
                                  .arg(parser.value(timeoutOption)));
    }

    if (parser.isSet(projectorOption) || parser.isSet(allOption) || watching) {
        for (const auto &own : {portOption, deviceOption, baudOption, addressOption}) {
            if (parser.isSet(own))
                return usageError(QStringLiteral("--%1 does not go with --projector or --all: "
                                                 "the venue gives each projector's port.")
                                      .arg(own.names().constFirst()));
        }
        QString why;
        const bool all = parser.isSet(allOption) || !parser.isSet(projectorOption);
        const auto chosen = selected(Venue::read(), parser.values(projectorOption), all, &why);
        if (!chosen || chosen->isEmpty())
            return usageError(why);
        if (watching) {
            WatchOptions o;
            o.names = parser.values(projectorOption);
            o.timeoutMs = timeoutMs;
            o.json = json;
            o.logPath = parser.value(logOption);
            o.metricsPath = parser.value(metricsOption);
            if (parser.isSet(intervalOption)) {
                bool ok = false;
                const double seconds = parser.value(intervalOption).toDouble(&ok);
                if (!ok || !(seconds >= 1 && seconds <= 86400))
                    return usageError(QStringLiteral("--interval takes seconds from 1 to 86400, "
                                                     "not \"%1\".")
                                          .arg(parser.value(intervalOption)));
                o.intervalMs = int(seconds * 1000);
            }
            if (parser.isSet(lampWarnOption)) {
                bool ok = false;
                const int hours = parser.value(lampWarnOption).toInt(&ok);
                if (!ok || hours < 1 || hours > 99999)
                    return usageError(QStringLiteral("--lamp-warn takes hours from 1 to 99999, "
                                                     "not \"%1\".")
                                          .arg(parser.value(lampWarnOption)));
                o.lampWarnHours = hours;
            }
            const QString why = pjlinkOptions(
                parser.isSet(pjlinkOption), parser.value(pjlinkListenOption),
                parser.value(pjlinkPasswordOption), parser.isSet(pjlinkNoPasswordOption), o);
            if (!why.isEmpty())
                return usageError(why);
            return watch(o);
        }
        return runVenue(*chosen, commands, action == QLatin1String("status"), json, timeoutMs,
                        parser.value(logOption));
    }

    // Options first, then the stored choices; every check before anything is
    // opened or sent.
    if (parser.isSet(portOption) && parser.isSet(deviceOption))
        return usageError(QStringLiteral("give --port or --device, not both."));
    int port = 0;
    if (parser.isSet(portOption)) {
        bool ok = false;
        port = parser.value(portOption).toInt(&ok);
        if (!ok || !Projector::isPort(port))
            return usageError(QStringLiteral("--port takes a number from %1 to %2, not \"%3\".")
                                  .arg(QString::number(Projector::FirstPort),
                                       QString::number(Projector::LastPort),
                                       parser.value(portOption)));
    }
    const QString device = parser.value(deviceOption);
    if (parser.isSet(deviceOption) && device.isEmpty())
        return usageError(QStringLiteral("--device needs a device."));
    quint8 baudCode = 0;
    if (parser.isSet(baudOption)) {
        const QString baud = parser.value(baudOption);
        if (baud == QLatin1String("9600"))
            baudCode = Projector::Baud9600;
        else if (baud == QLatin1String("19200"))
            baudCode = Projector::Baud19200;
        else
            return usageError(QStringLiteral("--baud takes 9600 or 19200, not \"%1\".").arg(baud));
    }
    QString prefix;
    if (parser.isSet(addressOption)) {
        const auto chosen = addressPrefix(parser.value(addressOption));
        if (!chosen)
            return usageError(QStringLiteral("--address takes %1, not \"%2\".")
                                  .arg(addressNames(), parser.value(addressOption)));
        prefix = *chosen;
    } else {
        prefix = StoredChoices::address();
    }
    if (!baudCode)
        baudCode = StoredChoices::baudCode();

    MSComm comm;
    comm.setSettings(Projector::settingsFor(baudCode));
    QString opened = device;
    if (!device.isEmpty()) {
        comm.setDevice(device);
    } else {
        if (!port)
            port = StoredChoices::comPort();
        if (!Projector::isPort(port)) {
            err() << "orvactl: "
                  << (port ? QStringLiteral("the stored port %1 is not from %2 to %3")
                                 .arg(port)
                                 .arg(Projector::FirstPort)
                                 .arg(Projector::LastPort)
                           : QStringLiteral("no port is stored"))
                  << "; choose one with COM in the orva window, or give --port N or "
                     "--device PATH.\n";
            return PortFailed;
        }
        comm.setCommPort(port);
        opened = PortMap::deviceForPort(port);
    }
    if (!comm.setPortOpen(true)) {
        err() << "orvactl: "
              << PortReason::detail(comm.openFailure(), device.isEmpty() ? port : 0, opened,
                                    QFileInfo(opened).group(), comm.openFailureText())
              << "\n";
        return PortFailed;
    }

    Exchange exchange(comm, timeoutMs);
    std::unique_ptr<LineLog> log;
    const QString logName = device.isEmpty() ? QStringLiteral("COM%1").arg(port) : device;
    if (parser.isSet(logOption)) {
        log = std::make_unique<LineLog>(parser.value(logOption));
        log->event(logName, LineLog::Event::Open, opened);
        exchange.setLog(log.get(), logName);
    }
    int status = Answered;
    ProjectorState state;
    for (const QString &command : commands) {
        const ExchangeRecord ex = ask(exchange, prefix, command);
        state.take(command, ex.received);
        if (json)
            printJson(toJson(ex));
        else if (action == QLatin1String("status"))
            printStatusLine(ex);
        else
            printExchange(ex);
        out().flush();
        if (ex.timedOut)
            status = NoAnswer;
        if (exchange.lost()) {
            if (log)
                log->event(logName, LineLog::Event::Lost, exchange.lostReason());
            err() << "orvactl: the line was lost: " << exchange.lostReason() << "\n";
            return PortFailed;
        }
    }
    if (action == QLatin1String("status")) {
        if (json)
            printJson({{QStringLiteral("state"), state.json()}});
        else
            out() << QStringLiteral("State:").leftJustified(13) << state.text() << "\n";
        out().flush();
    }
    comm.setPortOpen(false);
    if (log)
        log->event(logName, LineLog::Event::Close, opened);
    return status;
}
