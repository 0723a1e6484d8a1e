#include "app/startupmark.h"
#include "app/warmup.h"
#include "panel/form1.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

namespace {

enum class Start { Window, Done, Misused };

// Reads the command line before anything needs a display: --help and
// --version answer on standard output; anything else but no argument at all
// is a misuse, told on standard error with the help. The window itself takes
// no options. A core application, which needs no display, lends the parser
// the program's name for the usage line.
Start readCommandLine(int argc, char *argv[])
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
    return Start::Window;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("orva"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVA_VERSION));
    switch (readCommandLine(argc, argv)) {
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
    Form1 window;
    StartupMark::watch(&window);
    warmUp.wait();
    window.Form_Load();
    window.show();
    return app.exec();
}
