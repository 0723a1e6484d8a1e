// The cadence of a held arrow button, measured on a serial line.
//
// The main window starts on one end of a pseudo-terminal (as COM3 through a
// private settings file); a mouse press on the ZOOM up arrow starts a hold,
// a release ends it. The other end of the line counts and timestamps the
// frames that arrive. Holding for 10 s (released half a period later, at
// 10.05 s) must give 101 frames: one at the press and one every 100 ms.
// A timer that drifts by a few milliseconds a tick loses several of them.
#include "common/ptyline.h"
#include "panel/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// The projector's end of the line: collects and timestamps what the
// program sends.
class LineEnd
{
public:
    LineEnd()
    {
        if (m_line.isValid())
            m_line.watch([this](const QByteArray &bytes) { take(bytes); });
    }

    bool isValid() const { return m_line.isValid(); }
    QString path() const { return m_line.slavePath(); }

    void start(const QElapsedTimer *clock)
    {
        m_clock = clock;
        m_bytes.clear();
        m_frameTimes.clear();
    }
    void drain() { take(m_line.readAvailable(0)); }

    const QByteArray &bytes() const { return m_bytes; }
    const std::vector<double> &frameTimes() const { return m_frameTimes; }

private:
    void take(const QByteArray &bytes)
    {
        for (const char c : bytes) {
            m_bytes.append(c);
            if (c == '\r' && m_clock)
                m_frameTimes.push_back(m_clock->nsecsElapsed() / 1e6);
        }
    }

    PtyLine m_line;
    const QElapsedTimer *m_clock = nullptr;
    QByteArray m_bytes;
    std::vector<double> m_frameTimes; // ms after the press
};

void mouse(QWidget *target, QEvent::Type type)
{
    const QPointF at = QRectF(target->rect()).center();
    QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// The main window on a fresh line, started as the program starts.
struct Panel {
    LineEnd line;
    std::unique_ptr<Form1> form;

    bool start()
    {
        if (!line.isValid())
            return false;
        QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ORVA"));
        store.clear();
        store.setValue(QStringLiteral("StartUP/ComPort"), QStringLiteral("3"));
        store.setValue(QStringLiteral("StartUP/BaudRate"), QStringLiteral("192"));
        store.setValue(QStringLiteral("Ports/COM3"), line.path());
        store.sync();
        form = std::make_unique<Form1>();
        form->Form_Load();
        return form->MSComm1.portOpen();
    }
};

void BM_HoldTenSeconds(benchmark::State &state)
{
    const int holdMs = int(state.range(0));
    int frames = 0;
    std::vector<double> gaps;
    for (auto _ : state) {
        Panel panel;
        if (!panel.start()) {
            state.SkipWithError("cannot open the line");
            return;
        }
        QPushButton *arrow = panel.form->findChild<QPushButton *>(QStringLiteral("Command30"));
        QElapsedTimer clock;
        panel.line.start(&clock);
        QEventLoop loop;
        QTimer release;
        release.setTimerType(Qt::PreciseTimer);
        release.setSingleShot(true);
        QObject::connect(&release, &QTimer::timeout, [&]() {
            mouse(arrow, QEvent::MouseButtonRelease);
            QTimer::singleShot(200, &loop, &QEventLoop::quit);
        });
        clock.start();
        mouse(arrow, QEvent::MouseButtonPress);
        release.start(holdMs);
        loop.exec();
        panel.line.drain();

        const QByteArray &bytes = panel.line.bytes();
        frames = int(bytes.count("C47\r"));
        if (bytes.size() != frames * 4)
            state.SkipWithError("unexpected bytes on the line");
        const auto &t = panel.line.frameTimes();
        for (size_t i = 1; i < t.size(); ++i)
            gaps.push_back(t[i] - t[i - 1]);
    }
    state.counters["frames"] = frames;
    state.counters["expected"] = holdMs / 100 + 1;
    if (!gaps.empty()) {
        double sum = 0;
        for (double g : gaps)
            sum += g;
        state.counters["gap_mean_ms"] = sum / double(gaps.size());
        state.counters["gap_min_ms"] = *std::min_element(gaps.begin(), gaps.end());
        state.counters["gap_max_ms"] = *std::max_element(gaps.begin(), gaps.end());
    }
}
// 10 s held, released half a period after the hundredth tick.
BENCHMARK(BM_HoldTenSeconds)
    ->ArgName("hold_ms")
    ->Arg(10050)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The work of one repeat: Timer1's tick framing and writing one command and
// updating the displays. It must stay far below the 100 ms period.
void BM_RepeatTick(benchmark::State &state)
{
    Panel panel;
    if (!panel.start()) {
        state.SkipWithError("cannot open the line");
        return;
    }
    Form1 &form = *panel.form;
    QPushButton *arrow = form.findChild<QPushButton *>(QStringLiteral("Command5"));
    form.engine.addressPrefix = QStringLiteral("A002");
    mouse(arrow, QEvent::MouseButtonPress);
    // Ticks are driven here.
    form.engine.findChild<QTimer *>(QStringLiteral("Timer1"))->stop();
    qint64 ticks = 0;
    for (auto _ : state) {
        form.engine.Timer1_Timer();
        if (++ticks % 256 == 0) {
            QCoreApplication::processEvents(); // let the port write
            panel.line.drain();
        }
    }
    mouse(arrow, QEvent::MouseButtonRelease);
    QCoreApplication::processEvents();
    state.SetItemsProcessed(ticks);
}
BENCHMARK(BM_RepeatTick)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A private settings folder: the run never touches the user's file.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
