// Cost of one receive event as the reply grows: the engine renders only the
// characters that arrived (Incremental) instead of the whole reply (Whole);
// LabelSetText is what the main window pays to show the whole rendered reply.

#include "panel/form1.h"
#include "protocol/render.h"

#include <QApplication>
#include <QLabel>

#include <benchmark/benchmark.h>

namespace {

QString replyOf(qsizetype n)
{
    QString s;
    s.reserve(n);
    for (qsizetype i = 0; i < n; ++i)
        s += QChar(char16_t("0123456789 \r\x06"[i % 13]));
    return s;
}

// One 16-character chunk arriving when the reply already holds range(0).
void BM_ReceiveIncremental(benchmark::State &state)
{
    const QString before = replyOf(state.range(0));
    const QString chunk = replyOf(16);
    for (auto _ : state) {
        state.PauseTiming();
        Render::Incremental rendered;
        rendered.append(before);
        state.ResumeTiming();
        benchmark::DoNotOptimize(rendered.append(chunk));
    }
}

void BM_ReceiveWhole(benchmark::State &state)
{
    const QString whole = replyOf(state.range(0) + 16);
    for (auto _ : state)
        benchmark::DoNotOptimize(Render::render(whole));
}

void BM_LabelSetText(benchmark::State &state)
{
    Form1 form;
    const QString a = Render::render(replyOf(state.range(0)));
    const QString b = Render::render(replyOf(state.range(0) + 16));
    bool flip = false;
    for (auto _ : state) {
        form.setReceivedText(flip ? a : b);
        flip = !flip;
    }
}

} // namespace

BENCHMARK(BM_ReceiveIncremental)->RangeMultiplier(8)->Range(64, 32768);
BENCHMARK(BM_ReceiveWhole)->RangeMultiplier(8)->Range(64, 32768);
BENCHMARK(BM_LabelSetText)->RangeMultiplier(8)->Range(64, 32768);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", "/nonexistent-orva-bench"); // never the user's settings
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
