// The venue window with the real watcher: the window's width under a long
// attention bar, and the filter's clear button.
#include "projectors/venue.h"
#include "projectors/watcher.h"
#include "venue/venuemodel.h"
#include "venue/venuewindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include "common/testenv.h"

class TstVenueWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void manyProjectors();
};

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
    QCoreApplication::sendPostedEvents();
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
