#include "app/startupmark.h"
#include "app/warmup.h"
#include "panel/form1.h"
#include "projectors/venue.h"
#include "protocol/linelog.h"
#include "store/storedchoices.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

namespace {

enum class Start { Window, Done, Misused };

// Reads the command line before anything needs a display: --help and
// --version answer on standard output; anything else but no argument at all
// is a misuse, told on standard error with the help. The window itself takes
// two options: --log FILE, returned in |logPath|, and --projector NAME, the
// venue's projector in |projector|. A core application, which
// needs no display, lends the parser the program's name for the usage line.
Start readCommandLine(int argc, char *argv[], QString *logPath, VenueProjector *projector)
{
    const QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Controls a video projector over its RS-232C serial line.\n"
        "The port, its baud rate and the projector address are chosen in the window\n"
        "and kept in $XDG_CONFIG_HOME/ORVA.ini (by default ~/.config/ORVA.ini)."));
    // Not addHelpOption(): its --help-all lists the toolkit's options, which
    // this program does not take.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption log(
        QStringLiteral("log"),
        QStringLiteral("Appends every byte sent and received, with its time, and the port's "
                       "opens, closes, losses and reconnects to FILE (see orva(1))."),
        QStringLiteral("FILE"));
    parser.addOption(log);
    const QCommandLineOption projectorOption(
        QStringLiteral("projector"),
        QStringLiteral("Controls the projector NAME of the venue ([Projectors]): its port, "
                       "baud rate and address, while the stored choices stay as they are."),
        QStringLiteral("NAME"));
    parser.addOption(projectorOption);

    QString error;
    if (!parser.parse(QCoreApplication::arguments()))
        error = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        error =
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
    else if (parser.isSet(projectorOption)) {
        const QString name = parser.value(projectorOption).trimmed();
        error = QStringLiteral("No projector named '%1' in the venue.").arg(name);
        for (const VenueProjector &p : Venue::read()) {
            if (p.name.compare(name, Qt::CaseInsensitive) != 0)
                continue;
            error = p.usable() ? QString() : QStringLiteral("%1: %2").arg(p.name, p.error);
            *projector = p;
            break;
        }
    }
    if (!error.isEmpty()) {
        std::fprintf(stderr, "orva: %s\n\n%s", qPrintable(error), qPrintable(parser.helpText()));
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
    *logPath = parser.value(log);
    return Start::Window;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("orva"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVA_VERSION));
    QString logPath;
    VenueProjector projector;
    switch (readCommandLine(argc, argv, &logPath, &projector)) {
    case Start::Done:
        return 0;
    case Start::Misused:
        return 2;
    case Start::Window:
        break;
    }

    StartupWarmUp warmUp;
    QApplication app(argc, argv);
    // Ties the window to the installed menu entry (its icon and name in the
    // task bar).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orva.orva"));
    // Opened before the port, so that its open is in the log, and kept
    // until the window has gone; an unwritable file is told on standard
    // error and the window goes on without it.
    std::unique_ptr<LineLog> log;
    if (!logPath.isEmpty())
        log = std::make_unique<LineLog>(logPath);
    Form1 window;
    window.setLog(log.get());
    StartupMark::watch(&window);
    warmUp.wait();
    if (projector.name.isEmpty()) {
        window.Form_Load();
    } else {
        // The venue's projector: nothing goes to the stored choices.
        StoredChoices::keepNothing();
        window.setWindowTitle(projector.name);
        window.loadProjector(projector.device, projector.comPort, projector.baudCode,
                             projector.prefix);
    }
    window.show();
    return app.exec();
}
