#include "app/startupmark.h"
#include "app/warmup.h"
#include "panel/form1.h"
#include "protocol/linelog.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

namespace {

enum class Start { Window, Done, Misused };

// Reads the command line before anything needs a display: --help and
// --version answer on standard output; anything else but no argument at all
// is a misuse, told on standard error with the help. The window itself takes
// one option: --log FILE, returned in |logPath|. A core application, which
// needs no display, lends the parser the program's name for the usage line.
Start readCommandLine(int argc, char *argv[], QString *logPath)
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
        QStringLiteral("Appends every byte sent and received, with its time, and the port's\n"
                       "opens, closes, losses and reconnects to FILE (see orva(1))."),
        QStringLiteral("FILE"));
    parser.addOption(log);

    QString error;
    if (!parser.parse(QCoreApplication::arguments()))
        error = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        error =
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
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
    switch (readCommandLine(argc, argv, &logPath)) {
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
    window.Form_Load();
    window.show();
    return app.exec();
}
