// Cost of one save and one read in a settings file of 50 MB with 5 million
// keys: a save reads the file once and writes it once, whichever key it
// changes. The file lives in a temporary folder, never the user's.

#include "store/settingsstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kKeys = 5'000'000;

QByteArray bigFile()
{
    QByteArray file(
        "; hand-written header\n[StartUP]\nComPort=3\nADRESS=A001\nBaudRate=96\n\n[Ports]\n");
    file.reserve(file.size() + qsizetype(kKeys) * 10);
    for (int i = 0; i < kKeys; ++i) {
        file += 'K';
        file += QByteArray::number(i, 36).rightJustified(6, '0');
        file += "=v\n";
    }
    file += "[Last]\nKey=0\n";
    return file;
}

struct BigStore {
    QTemporaryDir folder;
    BigStore()
    {
        qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
        QFile f(SettingsStore::fileName("ORVA"));
        if (f.open(QIODevice::WriteOnly))
            f.write(bigFile());
    }
    qint64 size() const { return QFile(SettingsStore::fileName("ORVA")).size(); }
};

// The address at closing: a line near the top changes.
void BM_SaveNearTop(benchmark::State &state)
{
    BigStore store;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        if (!SettingsStore::save("ORVA", "StartUP", "ADRESS", flip ? "A002" : "A001"))
            state.SkipWithError("save failed");
    }
    state.counters["file_MB"] = double(store.size()) / 1e6;
}

// A key behind all 5 million others: the whole file is searched.
void BM_SaveAtEnd(benchmark::State &state)
{
    BigStore store;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        if (!SettingsStore::save("ORVA", "Last", "Key", flip ? "1" : "0"))
            state.SkipWithError("save failed");
    }
    state.counters["file_MB"] = double(store.size()) / 1e6;
}

// A key that is not there: searched for, then added at the end of its section.
void BM_SaveNewSection(benchmark::State &state)
{
    BigStore store;
    int n = 0;
    for (auto _ : state) {
        if (!SettingsStore::save("ORVA", "Extra", "Key", QString::number(++n)))
            state.SkipWithError("save failed");
    }
}

// What start-up pays for a key at the end.
void BM_ReadAtEnd(benchmark::State &state)
{
    BigStore store;
    for (auto _ : state)
        benchmark::DoNotOptimize(SettingsStore::read("ORVA", "Last", "Key", "none"));
}

// The edit alone, in memory.
void BM_EditInMemory(benchmark::State &state)
{
    const QByteArray file = bigFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(IniText::setValue(file, "Last", "Key", "1"));
}

} // namespace

BENCHMARK(BM_SaveNearTop)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_SaveAtEnd)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_SaveNewSection)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ReadAtEnd)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_EditInMemory)->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
