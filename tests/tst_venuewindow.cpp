// The venue window with the real watcher and orva-sim.
#include "projectors/venue.h"
#include "projectors/watcher.h"
#include "protocol/linelog.h"
#include "venue/venuemodel.h"
#include "venue/venuewindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "common/testenv.h"

class TstVenueWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void powerOn_data();
    void powerOn();
    void manyProjectors();
};

void TstVenueWindow::powerOn_data()
{
    // "Power on" is pressed once the poll at the start has brought the
    // answer to |after|; |sent| is then what the line carries.
    QTest::addColumn<QString>("after");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("between two polls: its power alone is asked")
        << "CR6" << QStringList{"CR0", "CR1", "CR3", "CR6", "C00", "CR0"};
    QTest::newRow("during a poll, after its power answer: asked again after it")
        << "CR0" << QStringList{"CR0", "C00", "CR1", "CR3", "CR6", "CR0"};
}

void TstVenueWindow::powerOn()
{
    QFETCH(QString, after);
    QFETCH(QStringList, sent);
    QProcess sim;
    sim.start(QStringLiteral(ORVA_SIM), QStringList());
    QVERIFY(sim.waitForReadyRead(5000));
    QTemporaryDir dir;
    LineLog log(dir.filePath(QStringLiteral("line.log")));
    // The default interval: one poll at the start, the next after a minute.
    Watcher watcher(Venue::parse("[Projectors]\nHall=" + sim.readLine()), Watcher::Options{});
    watcher.setLog(&log);
    VenueWindow window(watcher, 2000);
    auto *table = window.findChild<QTableView *>();
    table->selectRow(0);
    bool pressed = false;
    connect(&watcher, &Watcher::exchanged, &window, [&](int, const VenueLine::Done &done) {
        if (!pressed && done.job.command == after) {
            pressed = true;
            window.powerOn();
        }
    });
    watcher.start();
    QTRY_COMPARE(table->model()->index(0, VenueModel::Power).data().toString(),
                 QLatin1String("on"));
    QTRY_VERIFY2(!watcher.lineBusy(0), "the watcher never leaves the line idle");
    QStringList onLine;
    for (const QByteArray &line : TestEnv::fileBytes(log.path()).split('\n')) {
        const QList<QByteArray> f = line.split('\t');
        if (f.size() == 5 && f[2] == "sent")
            onLine << QString::fromLatin1(QByteArray::fromHex(f[4]).trimmed());
    }
    QCOMPARE(onLine.join(u' '), sent.join(u' '));
    sim.terminate();
    sim.waitForFinished(5000);
}

// Forty projectors needing attention: the bar names them all, and the window
// keeps its width; the filter's clear button shows all rows again.
void TstVenueWindow::manyProjectors()
{
    QByteArray venue = "[Projectors]\n";
    for (int i = 1; i <= 40; ++i)
        venue += QStringLiteral("Room %1=/dev/absent-%1\n").arg(i).toLatin1();
    Watcher::Options options;
    options.intervalMs = 200;
    Watcher watcher(Venue::parse(venue), options);
    VenueWindow window(watcher, 2000);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const int width = window.width();
    watcher.start();
    QLabel *bar = nullptr;
    for (QLabel *label : window.findChildren<QLabel *>())
        bar = label->accessibleName() == "Attention" ? label : bar;
    QTRY_VERIFY2(bar->text().startsWith("40 projectors need attention: Room 1 (lost"),
                 qPrintable(bar->text()));
    QCoreApplication::processEvents();
    QCOMPARE(window.width(), width);
    auto *filter = window.findChild<QLineEdit *>();
    QTest::keyClicks(filter, "Room 4");
    auto *table = window.findChild<QTableView *>();
    QCOMPARE(table->model()->rowCount(), 2); // Room 4 and Room 40
    auto *clear = filter->findChild<QToolButton *>();
    QVERIFY2(clear, "no clear button with text in the filter");
    clear->click();
    QCOMPARE(table->model()->rowCount(), 40);
}

QTEST_MAIN(TstVenueWindow)
#include "tst_venuewindow.moc"
