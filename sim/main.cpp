// orva-sim: a projector on a pseudo-terminal, for running ORVA without one.
//
//   orva-sim [--link PATH] [--id 001]   serve; PATH becomes a link to the line
//   orva-sim --wired                    exit 0 when the stored port's device
//                                       exists (a real line is configured)

#include "mscomm.h"
#include "projector.h"
#include "rawpty.h"
#include "settingsstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <unistd.h>

namespace {

int wired()
{
    const qint16 port =
        portNumberFromText(SettingsStore::readStartUp(QStringLiteral("ComPort"), QString()));
    if (port < 1 || port > 15)
        return 1;
    return QFileInfo::exists(MSComm::deviceForPort(port)) ? 0 : 1;
}

int g_stopPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop notices the byte.
void stop(int)
{
    const char byte = 0;
    (void)!::write(g_stopPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QString link;
    QString id = QStringLiteral("001");
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--wired"))
            return wired();
        if (args[i] == QLatin1String("--link") && i + 1 < args.size())
            link = args[++i];
        else if (args[i] == QLatin1String("--id") && i + 1 < args.size())
            id = args[++i];
        else {
            QTextStream(stderr) << "usage: orva-sim [--link PATH] [--id 001] | --wired\n";
            return 2;
        }
    }

    // The slave end stays open here too, so the line survives the program
    // closing and reopening its port.
    RawPty line;
    if (!line.open()) {
        QTextStream(stderr) << "orva-sim: no pseudo-terminal available\n";
        return 1;
    }
    const int master = line.master;

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

    SimProjector projector(id);
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
    if (pipe(g_stopPipe) != 0)
        return 1;
    QSocketNotifier stopper(g_stopPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopper, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGTERM, stop);
    std::signal(SIGINT, stop);
    const int rc = app.exec();
    if (!link.isEmpty())
        QFile::remove(link);
    line.close();
    return rc;
}
