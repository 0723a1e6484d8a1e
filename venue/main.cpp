#include "app/startupmark.h"
#include "app/warmup.h"
#include "projectors/venue.h"
#include "projectors/watcher.h"
#include "protocol/linelog.h"
#include "venue/venuewindow.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

namespace {

struct Options {
    int intervalSeconds = 60;
    int lampWarnHours = 2000;
    QString logPath;
};

enum class Start { Window, Done, Misused };

// Reads the command line before anything needs a display: --help and
// --version answer on standard output; a misuse is told on standard error
// with the help.
Start readCommandLine(int argc, char *argv[], Options *options)
{
    const QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows every projector of the venue ([Projectors] in\n"
                       "$XDG_CONFIG_HOME/ORVA.ini) with its live state, and acts on them."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption interval(
        QStringLiteral("interval"),
        QStringLiteral("Asks each projector its state every SECONDS (1 to 86400, default 60)."),
        QStringLiteral("SECONDS"), QStringLiteral("60"));
    const QCommandLineOption lampWarn(
        QStringLiteral("lamp-warn"),
        QStringLiteral("Lamp hours from which a lamp needs attention (default 2000)."),
        QStringLiteral("HOURS"), QStringLiteral("2000"));
    const QCommandLineOption log(
        QStringLiteral("log"),
        QStringLiteral("Appends every byte sent and received, with its time, and the lines' "
                       "opens, closes, losses and reconnects to FILE (see orva(1))."),
        QStringLiteral("FILE"));
    parser.addOptions({interval, lampWarn, log});

    QString error;
    bool ok = false;
    if (!parser.parse(QCoreApplication::arguments()))
        error = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        error =
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
    if (error.isEmpty()) {
        options->intervalSeconds = parser.value(interval).toInt(&ok);
        if (!ok || options->intervalSeconds < 1 || options->intervalSeconds > 86400)
            error = QStringLiteral("--interval takes a number of seconds from 1 to 86400.");
    }
    if (error.isEmpty()) {
        options->lampWarnHours = parser.value(lampWarn).toInt(&ok);
        if (!ok || options->lampWarnHours < 0)
            error = QStringLiteral("--lamp-warn takes a number of hours.");
    }
    if (!error.isEmpty()) {
        std::fprintf(stderr, "orva-venue: %s\n\n%s", qPrintable(error),
                     qPrintable(parser.helpText()));
        return Start::Misused;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return Start::Done;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return Start::Done;
    }
    options->logPath = parser.value(log);
    return Start::Window;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("orva-venue"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVA_VERSION));
    Options options;
    switch (readCommandLine(argc, argv, &options)) {
    case Start::Done:
        return 0;
    case Start::Misused:
        return 2;
    case Start::Window:
        break;
    }

    // As in the panel: the session bus and the font configuration are got
    // ready on a second thread while the window is made.
    StartupWarmUp warmUp;
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orva.venue"));
    std::unique_ptr<LineLog> log;
    if (!options.logPath.isEmpty())
        log = std::make_unique<LineLog>(options.logPath);

    // The bad lines of the venue are told in the window and on standard
    // error; the others are watched.
    const QList<VenueProjector> projectors = Venue::read();
    QList<VenueProjector> notWatched;
    for (const VenueProjector &p : projectors) {
        if (!p.usable()) {
            std::fprintf(stderr, "orva-venue: %s: %s\n", qPrintable(p.name), qPrintable(p.error));
            notWatched << p;
        }
    }
    Watcher::Options o;
    o.intervalMs = options.intervalSeconds * 1000;
    o.lampWarnHours = options.lampWarnHours;
    Watcher watcher(projectors, o);
    watcher.setLog(log.get());
    VenueWindow window(watcher, options.lampWarnHours);
    window.setNotWatched(notWatched);
    StartupMark::watch(&window);
    warmUp.wait();
    window.show();
    watcher.start();
    const int status = app.exec();
    // The exchange under way completes and the lines close before the end.
    QEventLoop wait;
    QObject::connect(&watcher, &Watcher::stopped, &wait, &QEventLoop::quit);
    watcher.stop();
    wait.exec();
    return status;
}
