// Start-up time: from process start to the main window on screen, for ORVA
// and for a one-button Qt Widgets program built alongside it, in alternating
// runs on one private X server (Xvfb). ORVA opens its stored port, the slave
// end of a pseudo-terminal that this program holds.
//
// Each program writes the moment of its first painted frame to a pipe
// (ORVA_STARTUP_MARK); the time counts from just before posix_spawn. The
// program is killed after the mark, and its CPU time up to then is read
// with wait4.
//
//   orva-bench-startup [--venue N] [pairs [program [reference]]]
//
// --venue N: the program is orva-venue, and the settings also hold a venue
// of N projectors, simulated by one orva-sim on N pseudo-terminals.
// pairs: default 15; the first pair warms up the caches and is not counted.
// program, reference: two other builds to set against each other (both get
// the same environment and the same line). Each one's resident memory at the
// mark is shown too.
#include "sim/rawpty.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

extern char **environ;

namespace {

constexpr int kChildFd = 3; // where a child finds the pipe to write to

qint64 nowNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct Child {
    pid_t pid = -1;
    int readEnd = -1;
};

// Starts |argv| with |extraEnv| added to (or replacing in) the environment
// and the write end of a new pipe as descriptor 3.
Child spawn(const std::vector<std::string> &argv, const std::vector<std::string> &extraEnv)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return {};
    // Keep both ends clear of 0..3, so that the dup2 below always clears
    // close-on-exec on descriptor 3.
    const int readEnd = fcntl(ends[0], F_DUPFD_CLOEXEC, 10);
    const int writeEnd = fcntl(ends[1], F_DUPFD_CLOEXEC, 10);
    ::close(ends[0]);
    ::close(ends[1]);

    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('=') + 1);
        const bool replaced = std::any_of(extraEnv.begin(), extraEnv.end(), [&](const auto &x) {
            return x.compare(0, name.size(), name) == 0;
        });
        if (!replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());

    std::vector<char *> args;
    for (const auto &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char *> envp;
    for (auto &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd, kChildFd);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Child child;
    if (posix_spawn(&child.pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(writeEnd);
    child.readEnd = readEnd;
    return child;
}

// The first line the child writes, or empty after |timeoutMs|.
std::string readLine(int fd, int timeoutMs)
{
    std::string line;
    const qint64 deadline = nowNs() + qint64(timeoutMs) * 1000000;
    while (line.find('\n') == std::string::npos) {
        const int left = int((deadline - nowNs()) / 1000000);
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, left) <= 0)
            return {};
        char buf[64];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            return {};
        line.append(buf, size_t(n));
    }
    return line.substr(0, line.find('\n'));
}

struct Run {
    double ms = 0;    // process start to first frame on screen
    double cpuMs = 0; // user + system time until killed
    double rssMb = 0; // resident memory at the mark
};

// The lock files of the lines that a killed program held. A program that
// exits normally removes them; left in place, the next start would first
// have to find them stale and break them, which a real start does not do.
void removeStaleLocks(pid_t killed)
{
    const QDir folder(QStringLiteral("/var/lock"));
    for (const QString &name : folder.entryList({QStringLiteral("LCK..*")}, QDir::Files)) {
        QFile lock(folder.filePath(name));
        if (lock.open(QIODevice::ReadOnly)
            && lock.readLine().trimmed() == QByteArray::number(killed))
            lock.remove();
    }
}

double rssMb(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    status.open(QIODevice::ReadOnly);
    for (QByteArray line; !(line = status.readLine()).isEmpty();) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return 0;
}

bool startOnce(const std::string &program, const std::vector<std::string> &env, Run &run)
{
    const qint64 start = nowNs();
    Child child = spawn({program}, env);
    if (child.pid < 0)
        return false;
    const std::string mark = readLine(child.readEnd, 20000);
    run.rssMb = rssMb(child.pid);
    kill(child.pid, SIGKILL);
    int status = 0;
    rusage usage{};
    wait4(child.pid, &status, 0, &usage);
    ::close(child.readEnd);
    removeStaleLocks(child.pid);
    if (mark.empty())
        return false;
    run.ms = double(std::stoll(mark) - start) / 1e6;
    run.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
                + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    return true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int venue = 0;
    if (argc > 2 && std::string(argv[1]) == "--venue") {
        venue = std::max(1, atoi(argv[2]));
        argv += 2;
        argc -= 2;
    }
    const int pairs = argc > 1 ? std::max(2, atoi(argv[1])) : 15;
    const QString dir = QCoreApplication::applicationDirPath();
    // Two other programs may be named instead, to set one build against
    // another in the same run.
    const std::string orva =
        argc > 2 ? std::string(argv[2])
                 : QDir(dir)
                       .absoluteFilePath(venue ? QStringLiteral("../venue/orva-venue")
                                               : QStringLiteral("../app/orva"))
                       .toStdString();
    const std::string button =
        argc > 3 ? std::string(argv[3])
                 : QDir(dir).absoluteFilePath(QStringLiteral("orva-bench-onebutton")).toStdString();

    // A private X server on a display number of its choosing.
    Child xvfb = spawn({"/usr/bin/Xvfb", "-displayfd", std::to_string(kChildFd), "-screen", "0",
                        "1280x1024x24", "-nolisten", "tcp"},
                       {});
    const std::string display = readLine(xvfb.readEnd, 20000);
    if (xvfb.pid < 0 || display.empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }

    // The line, mapped as COM3 in a private settings folder.
    RawPty line;
    QTemporaryDir config;
    if (!line.open() || !config.isValid()) {
        std::fprintf(stderr, "no pseudo-terminal or temporary folder\n");
        return 1;
    }
    fcntl(line.master, F_SETFD, FD_CLOEXEC);
    fcntl(line.slave, F_SETFD, FD_CLOEXEC);
    QFile ini(config.filePath(QStringLiteral("ORVA.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write("[StartUP]\r\nComPort=3\r\nBaudRate=96\r\nADRESS=\r\n[Ports]\r\nCOM3=");
    ini.write(line.slavePath.toLocal8Bit() + "\r\n");
    // The venue: one simulated projector per pseudo-terminal.
    QProcess sim;
    if (venue) {
        sim.start(QDir(dir).absoluteFilePath(QStringLiteral("../sim/orva-sim")),
                  {QStringLiteral("--count"), QString::number(venue)});
        ini.write("[Projectors]\r\n");
        for (int i = 1; i <= venue; ++i) {
            while (!sim.canReadLine() && sim.waitForReadyRead(10000)) {
            }
            ini.write("Room " + QByteArray::number(i) + '=' + sim.readLine().trimmed() + "\r\n");
        }
    }
    ini.close();

    const std::vector<std::string> env = {
        "DISPLAY=:" + display,
        "QT_QPA_PLATFORM=xcb",
        "XDG_CONFIG_HOME=" + config.path().toStdString(),
        "ORVA_STARTUP_MARK=" + std::to_string(kChildFd),
    };

    std::vector<double> orvaMs, buttonMs, ratios, orvaCpu, buttonCpu;
    std::vector<double> orvaRss, buttonRss;
    std::printf(
        "pair  program ms  reference ms  ratio  cpu ms  ref. cpu ms  RSS MB  ref. RSS MB\n");
    int failures = 0;
    for (int i = 0; i <= pairs; ++i) {
        Run a, b;
        // Alternate which of the two starts first.
        const bool orvaFirst = i % 2 == 0;
        bool ok = orvaFirst ? startOnce(orva, env, a) && startOnce(button, env, b)
                            : startOnce(button, env, b) && startOnce(orva, env, a);
        // Drain what the program may have sent on the line.
        char sink[256];
        while (::read(line.master, sink, sizeof sink) > 0) {
        }
        if (!ok) {
            std::printf("%4d  failed\n", i);
            ++failures;
            continue;
        }
        std::printf("%4d %11.1f %13.1f %6.3f %7.1f %12.1f %7.1f %12.1f%s\n", i, a.ms, b.ms,
                    a.ms / b.ms, a.cpuMs, b.cpuMs, a.rssMb, b.rssMb, i == 0 ? "  (warm-up)" : "");
        if (i == 0)
            continue;
        orvaMs.push_back(a.ms);
        buttonMs.push_back(b.ms);
        ratios.push_back(a.ms / b.ms);
        orvaCpu.push_back(a.cpuMs);
        buttonCpu.push_back(b.cpuMs);
        orvaRss.push_back(a.rssMb);
        buttonRss.push_back(b.rssMb);
    }

    kill(xvfb.pid, SIGTERM);
    waitpid(xvfb.pid, nullptr, 0);
    line.close();
    sim.terminate();
    sim.waitForFinished(5000);
    if (ratios.empty() || failures) {
        std::fprintf(stderr, "%d runs failed\n", failures);
        return 1;
    }
    std::printf("\nmedian over %zu pairs: program %.1f ms, reference %.1f ms, ratio %.3f"
                " (cpu %.1f / %.1f ms; RSS %.1f / %.1f MB, ratio %.2f)\n",
                ratios.size(), median(orvaMs), median(buttonMs), median(ratios), median(orvaCpu),
                median(buttonCpu), median(orvaRss), median(buttonRss),
                median(orvaRss) / median(buttonRss));
    return 0;
}
