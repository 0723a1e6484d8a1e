// The venue window with 256 rows: one orva-sim serves 256 pseudo-terminals,
// the real watcher asks each projector every 10 s, and the window shows them.
//   StateOnScreen  a projector switched on or off (as "Power on" does) until
//                  its new power is painted in its row: from the arrival of
//                  the power answer, and from the end of the poll that brings
//                  it (when the watcher takes the projector's new state);
//   ScrollPage     the table scrolled down a page, then repainted at once;
//   SortColumn/c   the table sorted by column c, the order reversed each
//                  time, then repainted at once.
// The watcher keeps polling throughout; its events are handled between two
// frames, outside the time measured.
#include "venue/venuewindow.h"
#include "projectors/venue.h"
#include "projectors/watcher.h"
#include "venue/venuemodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QPaintEvent>
#include <QProcess>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int kProjectors = 256;

// The moment of the first paint of the table's viewport that covers |rect|
// after arm(), taken on the event loop's next turn, once the frame is out.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget *viewport) { viewport->installEventFilter(this); }
    void arm(const QRect &rect)
    {
        m_rect = rect;
        m_armed = true;
    }
    QElapsedTimer clock;
    qint64 paintedNs = -1;

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (m_armed && event->type() == QEvent::Paint
            && static_cast<QPaintEvent *>(event)->region().intersects(m_rect)) {
            m_armed = false;
            QTimer::singleShot(0, this, [this]() { paintedNs = clock.nsecsElapsed(); });
        }
        return false;
    }

private:
    QRect m_rect;
    bool m_armed = false;
};

struct Setup {
    QTemporaryDir config;
    QProcess sim;
    std::unique_ptr<Watcher> watcher;
    std::unique_ptr<VenueWindow> window;
    QTableView *table = nullptr;

    Setup()
    {
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit()); // the window's layout
        sim.start(QStringLiteral(ORVA_SIM), {"--count", QString::number(kProjectors)});
        QByteArray ini = "[Projectors]\n";
        for (int i = 1; i <= kProjectors; ++i) {
            while (!sim.canReadLine() && sim.waitForReadyRead(10000)) {
            }
            ini += "Room " + QByteArray::number(i) + '=' + sim.readLine();
        }
        Watcher::Options options;
        options.intervalMs = 10000;
        watcher = std::make_unique<Watcher>(Venue::parse(ini), options);
        window = std::make_unique<VenueWindow>(*watcher, 2000);
        table = window->findChild<QTableView *>();
        window->show();
        watcher->start();
        // Every row filled before anything is measured.
        const auto answered = [this]() {
            return std::all_of(watcher->watched().begin(), watcher->watched().end(),
                               [](const Watcher::Watched &w) { return w.lastAnswer.isValid(); });
        };
        while (!answered())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    ~Setup()
    {
        window.reset();
        watcher.reset();
        sim.terminate();
        sim.waitForFinished(5000);
    }
};

Setup *g_setup = nullptr;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void BM_StateOnScreen(benchmark::State &state)
{
    Setup &s = *g_setup;
    s.table->sortByColumn(VenueModel::Name, Qt::AscendingOrder);
    s.table->scrollToTop();
    const int projector = 0; // "Room 1", the first row
    PaintWatch watch(s.table->viewport());
    watch.clock.start();
    qint64 answerNs = -1;
    qint64 takenNs = -1;
    auto answer = QObject::connect(s.watcher.get(), &Watcher::exchanged,
                                   [&](int index, const VenueLine::Done &done) {
                                       if (index == projector && watch.paintedNs < 0
                                           && done.job.command == QLatin1String("CR0"))
                                           answerNs = watch.clock.nsecsElapsed();
                                   });
    auto taken =
        QObject::connect(s.watcher.get(), &Watcher::changed, [&](const Watcher::Change &change) {
            if (change.projector != projector || change.kind != QLatin1String("power"))
                return;
            takenNs = watch.clock.nsecsElapsed();
            watch.arm(s.table->visualRect(s.table->model()->index(0, VenueModel::Power)));
        });
    std::vector<double> fromAnswer, fromTaken;
    bool on = s.watcher->watched()[projector].state.power != QLatin1String("on");
    for (auto _ : state) {
        answerNs = takenNs = watch.paintedNs = -1;
        s.watcher->send(projector, on ? QStringLiteral("C00") : QStringLiteral("C01"));
        while (watch.paintedNs < 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        fromAnswer.push_back(double(watch.paintedNs - answerNs) / 1e6);
        fromTaken.push_back(double(watch.paintedNs - takenNs) / 1e6);
        on = !on;
    }
    QObject::disconnect(answer);
    QObject::disconnect(taken);
    state.counters["answer_median_ms"] = median(fromAnswer);
    state.counters["answer_max_ms"] = *std::max_element(fromAnswer.begin(), fromAnswer.end());
    state.counters["taken_median_ms"] = median(fromTaken);
    state.counters["taken_max_ms"] = *std::max_element(fromTaken.begin(), fromTaken.end());
}
BENCHMARK(BM_StateOnScreen)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_ScrollPage(benchmark::State &state)
{
    QScrollBar *bar = g_setup->table->verticalScrollBar();
    for (auto _ : state) {
        if (bar->value() == bar->maximum())
            bar->setValue(0);
        else
            bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        g_setup->table->viewport()->repaint();
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ScrollPage)->Unit(benchmark::kMillisecond);

void BM_SortColumn(benchmark::State &state)
{
    const int column = int(state.range(0));
    Qt::SortOrder order = Qt::AscendingOrder;
    for (auto _ : state) {
        order = order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
        g_setup->table->sortByColumn(column, order);
        g_setup->table->repaint();
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SortColumn)->DenseRange(0, VenueModel::ColumnCount - 1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Setup setup;
    g_setup = &setup;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
