// The PJLink bridge on loopback, against orva-sim on a raw TCP line:
//   PowrQueryFresh  a POWR ? answered from the watcher's fresh state;
//   PowrSet         POWR 1 / POWR 0 until the answer is back: the power state
//                   asked first (no fresh state after a command), then the
//                   command, with the watcher's pause between two exchanges.
#include "pjlink/bridge.h"
#include "projectors/venue.h"
#include "projectors/watcher.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include <benchmark/benchmark.h>

namespace {

struct Setup {
    QProcess sim;
    std::unique_ptr<Watcher> watcher;
    std::unique_ptr<PJLinkBridge> bridge;
    QTcpSocket client;

    Setup()
    {
        sim.start(QStringLiteral(ORVA_SIM), {"--tcp", "0"});
        sim.waitForReadyRead(5000);
        const QByteArray line = sim.readLine().trimmed();
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        const QByteArray port = QByteArray::number(probe.serverPort());
        probe.close();
        watcher = std::make_unique<Watcher>(
            Venue::parse("[Projectors]\nP=" + line + ", pjlink=" + port + "\n"),
            Watcher::Options{});
        bridge = std::make_unique<PJLinkBridge>(*watcher, PJLinkBridge::Options{});
        QString why;
        if (!bridge->start(&why))
            qFatal("%s", qPrintable(why));
        watcher->start();
        while (!watcher->watched()[0].answeredLast)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        client.connectToHost(QHostAddress::LocalHost, quint16(port.toInt()));
        answer(); // the greeting
    }
    ~Setup()
    {
        bridge.reset();
        watcher.reset();
        sim.terminate();
        sim.waitForFinished(5000);
    }
    QByteArray answer()
    {
        QByteArray got;
        while (!(got += client.readAll()).endsWith('\r'))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return got;
    }
};

Setup *g_setup = nullptr;

void BM_PowrQueryFresh(benchmark::State &state)
{
    for (auto _ : state) {
        g_setup->client.write("%1POWR ?\r");
        if (g_setup->answer() != "%1POWR=0\r")
            state.SkipWithError("not answered from the fresh state");
    }
}
BENCHMARK(BM_PowrQueryFresh)->Unit(benchmark::kMicrosecond);

void BM_PowrSet(benchmark::State &state)
{
    bool on = true;
    for (auto _ : state) {
        g_setup->client.write(on ? "%1POWR 1\r" : "%1POWR 0\r");
        if (g_setup->answer() != "%1POWR=OK\r")
            state.SkipWithError("not switched");
        on = !on;
    }
}
BENCHMARK(BM_PowrSet)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Setup setup;
    g_setup = &setup;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
