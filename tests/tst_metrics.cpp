#include "common/testenv.h"
#include "projectors/metrics.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/inotify.h>
#include <unistd.h>

class TstMetrics : public QObject
{
    Q_OBJECT

private slots:
    void checkedByPromtool();
    void refused_data();
    void refused();
};

void TstMetrics::checkedByPromtool()
{
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(1796677201123, Qt::UTC);
    const QList<ProjectorMetrics> venue = {
        {"Aula \"Süd\" \\ 2", true, "lamp-fault", 1234, std::nullopt, at, 7, 1, 0},
        {"Room\n101", false, std::nullopt, std::nullopt, std::nullopt, std::nullopt, 0, 3, 2},
        {"Hall B", true, "on", 0, std::array<double, 3>{38.5, -0.25, 41}, at, 12, 0, 0},
        {"Labor", true, "standby", 99999, std::array<double, 3>{20, 21, 22}, at, 1, 0, 0}};
    QTemporaryDir dir;
    const QString path = dir.filePath("orva.prom");
    QString error;
    QVERIFY2(Metrics::write(path, "old\n", &error), qPrintable(error));

    // Replaced in one rename within the folder: the file's own name is
    // never written to.
    const int watch = inotify_init1(IN_NONBLOCK);
    QVERIFY(inotify_add_watch(watch, QFile::encodeName(dir.path()), IN_ALL_EVENTS) >= 0);
    QVERIFY2(Metrics::write(path, Metrics::text(venue), &error), qPrintable(error));
    alignas(inotify_event) char events[8192];
    const ssize_t got = read(watch, events, sizeof events);
    close(watch);
    QStringList seen;
    for (ssize_t i = 0; i < got;
         i += sizeof(inotify_event) + ((inotify_event *)(events + i))->len) {
        const inotify_event *e = (inotify_event *)(events + i);
        seen += QString::number(e->mask & ~IN_ISDIR, 16) + ' ' + (e->len ? e->name : "");
    }
    QVERIFY2(seen.filter(QRegularExpression(" orva.prom$")).join(';') == "80 orva.prom",
             qPrintable(seen.join(';')));
    QVERIFY2(seen.filter(QRegularExpression("^40 ")).size() == 1, qPrintable(seen.join(';')));

    QProcess promtool;
    promtool.setProcessChannelMode(QProcess::MergedChannels);
    promtool.setStandardInputFile(path);
    promtool.start("promtool", {"check", "metrics"});
    QVERIFY2(promtool.waitForFinished(30000), "promtool did not run: scripts/install-deps --test");
    QCOMPARE(QString::fromUtf8(promtool.readAll()), QString());
    QCOMPARE(promtool.exitCode(), 0);

    const QByteArray text = TestEnv::fileBytes(path);
    QByteArrayList aula;
    for (const QByteArray &line : text.split('\n'))
        if (line.contains("{projector=\"Aula \\\"Süd\\\" \\\\ 2\""))
            aula += line;
    QCOMPARE(aula.join('\n'), R"(orva_projector_answered{projector="Aula \"Süd\" \\ 2"} 1
orva_projector_power_state{projector="Aula \"Süd\" \\ 2",state="on"} 0
orva_projector_power_state{projector="Aula \"Süd\" \\ 2",state="standby"} 0
orva_projector_power_state{projector="Aula \"Süd\" \\ 2",state="countdown"} 0
orva_projector_power_state{projector="Aula \"Süd\" \\ 2",state="cooling"} 0
orva_projector_power_state{projector="Aula \"Süd\" \\ 2",state="power-fault"} 0
orva_projector_power_state{projector="Aula \"Süd\" \\ 2",state="temperature-fault"} 0
orva_projector_power_state{projector="Aula \"Süd\" \\ 2",state="lamp-fault"} 1
orva_projector_power_state{projector="Aula \"Süd\" \\ 2",state="unknown"} 0
orva_projector_lamp_lit_seconds{projector="Aula \"Süd\" \\ 2"} 4442400
orva_projector_last_answer_timestamp_seconds{projector="Aula \"Süd\" \\ 2"} 1796677201.123
orva_projector_exchanges_total{projector="Aula \"Süd\" \\ 2",result="answered"} 7
orva_projector_exchanges_total{projector="Aula \"Süd\" \\ 2",result="no_answer"} 1
orva_projector_exchanges_total{projector="Aula \"Süd\" \\ 2",result="port_failed"} 0)");
    // Nothing known: its series are the state set, all 0, and the counts.
    QCOMPARE(text.count("{projector=\"Room\\n101\""), 12);
    QVERIFY(text.contains(
        "\norva_projector_power_state{projector=\"Room\\n101\",state=\"unknown\"} 0\n"));
    QVERIFY(text.contains(
        "\norva_projector_temperature_celsius{projector=\"Hall B\",sensor=\"2\"} -0.25\n"));
}

void TstMetrics::refused_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("no such folder") << "missing";
    QTest::newRow("folder read-only, file writable") << ".";
}

void TstMetrics::refused()
{
    QFETCH(QString, folder);
    if (folder == "." && TestEnv::permissionsIgnored())
        ORVA_VERDICT_AS_UNPRIVILEGED();
    QTemporaryDir dir;
    const QString path = dir.filePath(folder + "/orva.prom");
    QVERIFY(TestEnv::writeFile(dir.filePath("orva.prom"), "old\n"));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const auto writable = qScopeGuard([&] {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    QString error;
    QVERIFY(!Metrics::write(path, "new\n", &error));
    QVERIFY2(error.startsWith("cannot write " + path + ": ") && error.size() > path.size() + 16,
             qPrintable(error));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"orva.prom"});
    QCOMPARE(TestEnv::fileBytes(dir.filePath("orva.prom")), "old\n");
}

QTEST_GUILESS_MAIN(TstMetrics)
#include "tst_metrics.moc"
