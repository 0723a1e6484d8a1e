// What the panel's buttons put on the line: every button of the command map
// and the status column, with and without a projector address, the arrows'
// press-and-hold, the END button and the address selection across a restart.
#include "common/ptyline.h"
#include "common/testenv.h"
#include "panel/form1.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWindow>

#include <memory>

namespace {

// The panel's commands, written out independently of the program's map.
struct Click {
    const char *button;
    const char *command;
};
const Click kClicks[] = {
    {"Command17", "C00"},
    {"Command18", "C01"},
    {"Command27", "C05"},
    {"Command28", "C06"},
    {"Command53", "C07"},
    {"Command41", "C08"},
    {"Command21", "C0D"},
    {"Command22", "C0E"},
    {"Command25", "C43"},
    {"Command26", "C44"},
    {"Command31", "C0F"},
    {"Command32", "C10"},
    {"Command9", "CF LAMPMODE FULL"},
    {"Command68", "CF LAMPMODE HALF"},
    {"Command23", "C1C"},
    {"Command24", "C1D"},
    {"Command6", "C3F"},
    {"Command60", "CF KEYDIS NONE"},
    {"Command61", "CF KEYDIS RC"},
    {"Command62", "CF KEYDIS KEY"},
    {"Command3", "C1E"},
    {"Command13", "C89"},
    {"Command14", "C8A"},
};
// The status column and "IMAGE".
const Click kQueries[] = {
    {"Command44", "CR0"}, {"Command45", "CR1"}, {"Command54", "CR6"},
    {"Command47", "CR4"}, {"Command46", "CR3"}, {"Command55", "CRA"},
    {"Command76", "CR7"}, {"Command29", "CR9"}, {"Command73", "C27"},
};
struct Hold {
    const char *button;
    const char *command;
    int kind;
};
const Hold kHolds[] = {
    {"Command30", "C47", 1},  {"Command42", "C46", 2},  {"Command5", "C3C", 3},
    {"Command7", "C3D", 4},   {"Command38", "C3B", 5},  {"Command8", "C3A", 6},
    {"Command1", "C4B", 7},   {"Command2", "C4A", 8},   {"Command48", "C30", 9},
    {"Command49", "C31", 10}, {"Command10", "C8E", 11}, {"Command35", "C8F", 12},
    {"Command4", "C91", 13},  {"Command11", "C90", 14}, {"Command12", "C5D", 15},
    {"Command20", "C5E", 16}, {"Command15", "C5F", 17}, {"Command19", "C60", 18},
};

// Option button and the prefix it puts in front of every command.
const std::pair<const char *, const char *> kAddresses[] = {
    {"Option1", ""},     {"Option2", "AFFF"}, {"Option3", "A001"},
    {"Option4", "A002"}, {"Option5", "A003"}, {"Option6", "A004"},
};

QByteArray frame(const QString &prefix, const char *command)
{
    return prefix.toLatin1() + command + '\r';
}

} // namespace

class TstPanelButtons : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void cleanup();

    void clickButtons_data();
    void clickButtons();
    void queryButtons_data();
    void queryButtons();
    void statusReplyDecoded_data();
    void statusReplyDecoded();
    void undecodedRepliesOnlyShown_data();
    void undecodedRepliesOnlyShown();
    void repliesShownAsText_data();
    void repliesShownAsText();

    void holdRepeats_data();
    void holdRepeats();
    void shortClickSendsOnce_data();
    void shortClickSendsOnce();
    void secondPressDuringHoldIsIgnored_data();
    void secondPressDuringHoldIsIgnored();
    void anyReleaseEndsHold_data();
    void anyReleaseEndsHold();
    void releaseAfterPointerLeftTheArrow();
    void clickDuringHold();
    void holdEndsWhenTheWindowLosesActivation();
    void spaceBar_data();
    void spaceBar();
    void intervalsAfterRelease();
    void holdRepeatsInRealTime();

    void selectingAnOptionSendsNothing();
    void endStoresAddressAndClosesPort();
    void addressSurvivesRestart_data();
    void addressSurvivesRestart();

private:
    // Starts the panel on a fresh line, through start-up, with |address|
    // stored.
    bool start(const QString &address = QString());
    QPushButton *button(const char *name) const
    {
        return m_form->findChild<QPushButton *>(QString::fromLatin1(name));
    }
    void select(const QString &option);
    // The engine's timer |name|: its ticks are driven by hand.
    QTimer *timer(const char *name) const
    {
        return m_form->engine.findChild<QTimer *>(QLatin1StringView(name));
    }
    // Everything the panel wrote that has reached the line by now.
    QByteArray sent() { return m_line->readAvailable(30); }

    std::unique_ptr<PtyLine> m_line;
    std::unique_ptr<Form1> m_form;
};

bool TstPanelButtons::start(const QString &address)
{
    m_form.reset();
    m_line = std::make_unique<PtyLine>();
    if (!m_line->isValid())
        return false;
    TestEnv::seed({{QStringLiteral("StartUP/ComPort"), QStringLiteral("3")},
                   {QStringLiteral("StartUP/BaudRate"), QStringLiteral("96")},
                   {QStringLiteral("StartUP/ADRESS"), address},
                   {QStringLiteral("Ports/COM3"), m_line->slavePath()}});
    m_form = std::make_unique<Form1>();
    m_form->Form_Load();
    m_form->show();
    return m_form->MSComm1.portOpen() && QTest::qWaitForWindowExposed(m_form.get());
}

void TstPanelButtons::cleanup()
{
    m_form.reset();
    m_line.reset();
}

void TstPanelButtons::select(const QString &option)
{
    m_form->setOuterHeightTwips(8100);
    QTest::mouseClick(m_form->findChild<QRadioButton *>(option), Qt::LeftButton);
}

void TstPanelButtons::clickButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("command");
    int i = 0;
    for (const Click &c : kClicks) {
        QTest::addRow("%s", c.button) << c.button << "Option1"
                                      << "" << c.command;
        const auto &[option, prefix] = kAddresses[1 + i++ % 5];
        QTest::addRow("%s %s", c.button, prefix) << c.button << option << prefix << c.command;
    }
}

// A click sends the button's command once per click, behind the selected
// address, and a second click sends the same frame again.
void TstPanelButtons::clickButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, option);
    QFETCH(QString, prefix);
    QFETCH(QString, command);
    QVERIFY(start());
    select(option);
    QCOMPARE(sent(), QByteArray());
    auto *b = m_form->findChild<QPushButton *>(button);
    QVERIFY(b);
    const QByteArray one = frame(prefix, command.toLatin1().constData());
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(m_line->read(one.size()), one);
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(m_line->read(one.size()), one);
    QCOMPARE(sent(), QByteArray());
    QCOMPARE(m_form->engine.currentCommand(), QString::fromLatin1(one));
    // The tooltip names the command that went out.
    QCOMPARE(b->toolTip(), QStringLiteral("Sends ") + command);
}

void TstPanelButtons::queryButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("command");
    int i = 0;
    for (const Click &c : kQueries) {
        QTest::addRow("%s", c.button) << c.button << "" << c.command;
        const char *prefix = kAddresses[1 + i++ % 5].second;
        QTest::addRow("%s %s", c.button, prefix) << c.button << prefix << c.command;
    }
}

// The status column and "IMAGE", with the address restored at start-up.
void TstPanelButtons::queryButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, address);
    QFETCH(QString, command);
    QVERIFY(start(address));
    const QByteArray one = frame(address, command.toLatin1().constData());
    QTest::mouseClick(m_form->findChild<QPushButton *>(button), Qt::LeftButton);
    QCOMPARE(m_line->read(one.size()), one);
    QCOMPARE(sent(), QByteArray());
    QCOMPARE(m_form->findChild<QPushButton *>(button)->toolTip(),
             QStringLiteral("Sends ") + command);
}

void TstPanelButtons::statusReplyDecoded_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("status");
    QTest::newRow("no address") << ""
                                << " Power ON";
    // With an address the query carries the prefix and is not decoded.
    QTest::newRow("address 001") << "A001"
                                 << "";
}

void TstPanelButtons::statusReplyDecoded()
{
    QFETCH(QString, address);
    QFETCH(QString, status);
    QVERIFY(start(address));
    QTest::mouseClick(button("Command44"), Qt::LeftButton);
    const QByteArray query = frame(address, "CR0");
    QCOMPARE(m_line->read(query.size()), query);
    m_line->write("00\r");
    QTRY_COMPARE(m_form->Label12->text(), QStringLiteral(" 0 0  [CR] "));
    QCOMPARE(m_form->Label25->text(), status);
}

void TstPanelButtons::undecodedRepliesOnlyShown_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("STATUS 2") << "Command55";
    QTest::newRow("LAMP MODE") << "Command76";
    QTest::newRow("PC TYPE") << "Command29";
    QTest::newRow("IMAGE") << "Command73";
}

// These replies show in the received line; the status line keeps its words.
void TstPanelButtons::undecodedRepliesOnlyShown()
{
    QFETCH(QString, button);
    QVERIFY(start());
    QTest::mouseClick(this->button("Command44"), Qt::LeftButton);
    QCOMPARE(m_line->read(4), QByteArray("CR0\r"));
    m_line->write("00\r");
    QTRY_COMPARE(m_form->Label25->text(), QStringLiteral(" Power ON"));
    QTest::mouseClick(m_form->findChild<QPushButton *>(button), Qt::LeftButton);
    QCOMPARE(m_line->read(4).size(), 4);
    m_line->write("00\r");
    QTRY_COMPARE(m_form->Label12->text(), QStringLiteral(" 0 0  [CR] "));
    QCOMPARE(m_form->Label25->text(), QStringLiteral(" Power ON"));
}

void TstPanelButtons::repliesShownAsText_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("STATUS") << "Command44" << QByteArray("<b>12</b>\r");
    // Decoded: the status line takes characters of the reply.
    QTest::newRow("LAMP TIME") << "Command46" << QByteArray("<b>12\r");
    QTest::newRow("TEMP") << "Command54" << QByteArray("<i>1</i><u>2</u>3\r");
}

// A reply that looks like markup is shown as the characters it is, in every
// display.
void TstPanelButtons::repliesShownAsText()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, reply);
    QVERIFY(start());
    QTest::mouseClick(m_form->findChild<QPushButton *>(button), Qt::LeftButton);
    QCOMPARE(m_line->read(4).size(), 4);
    m_line->write(reply);
    QTRY_COMPARE(m_form->Label12->text(), Render::render(QString::fromLatin1(reply)));
    for (QLabel *display : {m_form->Label11, m_form->Label12, m_form->Label25})
        QVERIFY2(TestEnv::showsTextAsWritten(display), qPrintable(display->objectName()));
}

void TstPanelButtons::holdRepeats_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("mouseButton");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("kind");
    const Qt::MouseButton mouse[] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
    int i = 0;
    for (const Hold &h : kHolds) {
        const Qt::MouseButton m = mouse[i % 3];
        const char *prefix = kAddresses[1 + i % 5].second;
        ++i;
        QTest::addRow("%s", h.button) << h.button << int(m) << "" << h.command << h.kind;
        QTest::addRow("%s %s", h.button, prefix)
            << h.button << int(m) << prefix << h.command << h.kind;
    }
}

// A press of any mouse button sends at once; each Timer1 tick sends the
// same frame again, with the address once; the release stops it.
void TstPanelButtons::holdRepeats()
{
    QFETCH(QString, button);
    QFETCH(int, mouseButton);
    QFETCH(QString, address);
    QFETCH(QString, command);
    QFETCH(int, kind);
    QVERIFY(start(address));
    auto *arrow = m_form->findChild<QPushButton *>(button);
    QVERIFY(arrow);
    const QByteArray one = frame(address, command.toLatin1().constData());
    // Named for what it does, with the command it repeats in the tooltip.
    QVERIFY(!arrow->accessibleName().isEmpty());
    QVERIFY(arrow->toolTip().startsWith(arrow->accessibleName() + QLatin1Char(':')));
    QVERIFY(arrow->toolTip().contains(QLatin1Char(' ') + command + QLatin1Char(',')));

    QTest::mousePress(arrow, Qt::MouseButton(mouseButton));
    QCOMPARE(m_form->engine.holdKind(), kind);
    QVERIFY(timer("Timer1")->isActive());
    QCOMPARE(m_form->engine.pace(), TransactionEngine::Pace::Hold);
    // The ticks are driven by hand from here on.
    timer("Timer1")->stop();
    QCOMPARE(m_line->read(one.size()), one);
    for (int tick = 0; tick < 3; ++tick) {
        m_form->engine.Timer1_Timer();
        QCOMPARE(m_line->read(one.size()), one);
    }
    QCOMPARE(sent(), QByteArray());

    QTest::mouseRelease(arrow, Qt::MouseButton(mouseButton));
    QCOMPARE(m_form->engine.holdKind(), 0);
    QVERIFY(!timer("Timer1")->isActive());
    m_form->engine.Timer1_Timer(); // a tick still pending: nothing
    QCOMPARE(sent(), QByteArray());
}

void TstPanelButtons::shortClickSendsOnce_data()
{
    QTest::addColumn<QString>("arrow");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("MENU up") << "Command5" << QByteArray("C3C\r");
    QTest::newRow("KEYSTONE left") << "Command4" << QByteArray("C91\r");
    QTest::newRow("KEYSTONE right") << "Command11" << QByteArray("C90\r");
    QTest::newRow("D.ZOOM down") << "Command49" << QByteArray("C31\r");
}

void TstPanelButtons::shortClickSendsOnce()
{
    QFETCH(QString, arrow);
    QFETCH(QByteArray, bytes);
    QVERIFY(start());
    QTest::mouseClick(m_form->findChild<QPushButton *>(arrow), Qt::LeftButton);
    QCOMPARE(m_line->read(bytes.size()), bytes);
    QVERIFY(!timer("Timer1")->isActive());
    QCOMPARE(m_line->readAvailable(250), QByteArray());
}

void TstPanelButtons::secondPressDuringHoldIsIgnored_data()
{
    QTest::addColumn<QString>("second");
    QTest::addColumn<int>("mouseButton");
    QTest::newRow("right on the held arrow") << "Command5" << int(Qt::RightButton);
    QTest::newRow("middle on the held arrow") << "Command5" << int(Qt::MiddleButton);
    QTest::newRow("left on another arrow") << "Command30" << int(Qt::LeftButton);
    QTest::newRow("double click on the held arrow") << "Command5" << -1;
}

void TstPanelButtons::secondPressDuringHoldIsIgnored()
{
    QFETCH(QString, second);
    QFETCH(int, mouseButton);
    QVERIFY(start(QStringLiteral("A002")));
    QTest::mousePress(button("Command5"), Qt::LeftButton);
    timer("Timer1")->stop();
    QCOMPARE(m_line->read(8), QByteArray("A002C3C\r"));

    QPushButton *other = m_form->findChild<QPushButton *>(second);
    if (mouseButton < 0)
        QTest::mouseDClick(other, Qt::LeftButton);
    else
        QTest::mousePress(other, Qt::MouseButton(mouseButton));
    QCOMPARE(sent(), QByteArray());
    QCOMPARE(m_form->engine.holdKind(), 3);
    QCOMPARE(m_form->engine.currentCommand(), QStringLiteral("A002C3C\r"));
    // The hold goes on with its own command.
    m_form->engine.Timer1_Timer();
    QCOMPARE(m_line->read(8), QByteArray("A002C3C\r"));
}

void TstPanelButtons::anyReleaseEndsHold_data()
{
    QTest::addColumn<int>("pressWith");
    QTest::addColumn<QString>("releaseOn");
    QTest::addColumn<int>("releaseWith");
    QTest::newRow("left, released") << int(Qt::LeftButton) << "Command12" << int(Qt::LeftButton);
    QTest::newRow("right, released") << int(Qt::RightButton) << "Command12" << int(Qt::RightButton);
    QTest::newRow("middle, released")
        << int(Qt::MiddleButton) << "Command12" << int(Qt::MiddleButton);
    // The release of a press that was ignored ends the hold all the same.
    QTest::newRow("left held, right released")
        << int(Qt::LeftButton) << "Command12" << int(Qt::RightButton);
    QTest::newRow("released over another arrow")
        << int(Qt::LeftButton) << "Command48" << int(Qt::LeftButton);
}

// Whatever mouse button goes up over an arrow ends the hold, and leaves the
// engine as a release does: displays emptied, short intervals undone.
void TstPanelButtons::anyReleaseEndsHold()
{
    QFETCH(int, pressWith);
    QFETCH(QString, releaseOn);
    QFETCH(int, releaseWith);
    QVERIFY(start());
    QTest::mousePress(button("Command12"), Qt::MouseButton(pressWith));
    timer("Timer1")->stop();
    QCOMPARE(m_line->read(4), QByteArray("C5D\r"));
    QCOMPARE(m_form->Label11->text(), QStringLiteral(" C 5 D  [CR] "));

    QTest::mouseRelease(m_form->findChild<QPushButton *>(releaseOn), Qt::MouseButton(releaseWith));
    QCOMPARE(m_form->engine.holdKind(), 0);
    QVERIFY(!m_form->engine.holding());
    QVERIFY(!button("Command12")->isDown());
    QVERIFY(!timer("Timer1")->isActive());
    QCOMPARE(m_form->Label11->text(), QString());
    QCOMPARE(m_form->Label12->text(), QString());
    m_form->engine.Timer1_Timer();
    QCOMPARE(sent(), QByteArray());
    // A new press starts a new hold.
    QTest::mousePress(button("Command20"), Qt::LeftButton);
    QCOMPARE(m_line->read(4), QByteArray("C5E\r"));
    QTest::mouseRelease(button("Command20"), Qt::LeftButton);
}

// Through the window system: the pointer goes down on an arrow, moves off it
// over another button and comes up there. The release still reaches the
// arrow and ends the hold, and the other button sees no click.
void TstPanelButtons::releaseAfterPointerLeftTheArrow()
{
    QVERIFY(start());
    QWindow *window = m_form->windowHandle();
    QVERIFY(window);
    QPushButton *arrow = button("Command10");
    const QPoint on = arrow->mapTo(m_form.get(), arrow->rect().center());
    QPushButton *power = button("Command17");
    const QPoint off = power->mapTo(m_form.get(), power->rect().center());

    QTest::mousePress(window, Qt::LeftButton, {}, on);
    QCOMPARE(m_form->engine.holdKind(), 11);
    timer("Timer1")->stop();
    QCOMPARE(m_line->read(4), QByteArray("C8E\r"));
    QTest::mouseMove(window, off);
    QTest::mouseRelease(window, Qt::LeftButton, {}, off);
    QCOMPARE(m_form->engine.holdKind(), 0);
    QVERIFY(!timer("Timer1")->isActive());
    QCOMPARE(sent(), QByteArray());
}

// A click button still sends during a hold; the next repeat carries the
// held arrow's command with one prefix.
void TstPanelButtons::clickDuringHold()
{
    QVERIFY(start(QStringLiteral("AFFF")));
    QTest::mousePress(button("Command1"), Qt::LeftButton);
    timer("Timer1")->stop();
    QCOMPARE(m_line->read(8), QByteArray("AFFFC4B\r"));
    QTest::mouseClick(button("Command17"), Qt::LeftButton);
    QCOMPARE(m_line->read(8), QByteArray("AFFFC00\r"));
    m_form->engine.Timer1_Timer();
    QCOMPARE(m_line->read(8), QByteArray("AFFFC4B\r"));
    QTest::mouseRelease(button("Command1"), Qt::LeftButton);
}

// Should another window take over while an arrow is held, its release never
// reaches the arrow; the hold ends with the window's activation instead of
// repeating on and on.
void TstPanelButtons::holdEndsWhenTheWindowLosesActivation()
{
    QVERIFY(start());
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QPushButton *arrow = button("Command2");
    QTest::mousePress(arrow, Qt::LeftButton);
    QCOMPARE(m_form->engine.holdKind(), 8);
    QVERIFY(arrow->isDown());
    timer("Timer1")->stop();
    QCOMPARE(m_line->read(4), QByteArray("C4A\r"));

    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QTRY_COMPARE(m_form->engine.holdKind(), 0);
    QVERIFY(!arrow->isDown());
    m_form->engine.Timer1_Timer();
    QCOMPARE(sent(), QByteArray());
}

void TstPanelButtons::spaceBar_data()
{
    QTest::addColumn<QByteArray>("bytes");
    for (const Hold &h : kHolds)
        QTest::newRow(h.button) << QByteArray();
    QTest::newRow("Command17") << QByteArray("C00\r");
    QTest::newRow("Command44") << QByteArray("CR0\r");
}

// The arrows have no click action: the space bar on one sends nothing,
// while on a click button it clicks.
void TstPanelButtons::spaceBar()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(start());
    QPushButton *b = button(QTest::currentDataTag());
    b->setFocus();
    QTest::keyClick(b, Qt::Key_Space);
    QCOMPARE(m_line->read(bytes.size(), bytes.isEmpty() ? 100 : 2000), bytes);
    QCOMPARE(sent(), QByteArray());
    QCOMPARE(m_form->engine.holdKind(), 0);
}

void TstPanelButtons::intervalsAfterRelease()
{
    using P = TransactionEngine::Pace;
    QVERIFY(start());
    auto &engine = m_form->engine;
    QCOMPARE(engine.pace(), P::PortOpened);

    QTest::mousePress(button("Command42"), Qt::LeftButton);
    QCOMPARE(engine.pace(), P::Hold);
    QTest::mouseRelease(button("Command42"), Qt::LeftButton);
    QCOMPARE(engine.pace(), P::AfterHold);
    QVERIFY(!timer("Timer2")->isActive());
    QVERIFY(timer("Timer4")->isActive());

    // Later single sends keep the intervals of the release.
    QTest::mouseClick(button("Command18"), Qt::LeftButton);
    QCOMPARE(engine.pace(), P::AfterHold);
    QVERIFY(timer("Timer2")->isActive());
    // MENU On puts the repetition back to its start-up period without
    // starting it.
    QTest::mouseClick(button("Command23"), Qt::LeftButton);
    QCOMPARE(engine.pace(), P::MenuOn);
    QVERIFY(!timer("Timer1")->isActive());
    QCOMPARE(m_line->read(4 + 4 + 4), QByteArray("C46\rC01\rC1C\r"));
}

// One loose real-time check: held for about a second, an arrow repeats about
// every 100 ms (the exact cadence is measured in bench/).
void TstPanelButtons::holdRepeatsInRealTime()
{
    QVERIFY(start());
    QTest::mousePress(button("Command30"), Qt::LeftButton);
    QTest::qWait(1000);
    QTest::mouseRelease(button("Command30"), Qt::LeftButton);
    const QByteArray bytes = sent();
    const int frames = int(bytes.count("C47\r"));
    QCOMPARE(bytes.size(), frames * 4);
    QVERIFY2(frames >= 6 && frames <= 20, qPrintable(QString::number(frames)));
}

void TstPanelButtons::selectingAnOptionSendsNothing()
{
    QVERIFY(start());
    for (const auto &[option, prefix] : kAddresses) {
        select(QString::fromLatin1(option));
        QCOMPARE(m_form->engine.addressPrefix, QString::fromLatin1(prefix));
        // Selecting it again changes nothing.
        select(QString::fromLatin1(option));
        QCOMPARE(m_form->engine.addressPrefix, QString::fromLatin1(prefix));
    }
    // From code too: selecting an option runs its handler.
    m_form->Option3->setChecked(true);
    QCOMPARE(m_form->engine.addressPrefix, QStringLiteral("A001"));
    QCOMPARE(sent(), QByteArray());
}

// "END" closes the panel as the close box does: the address is stored, the
// port closed, the console closed with it.
void TstPanelButtons::endStoresAddressAndClosesPort()
{
    QVERIFY(start());
    select(QStringLiteral("Option4"));
    QTest::mouseClick(button("Command74"), Qt::LeftButton);
    QPointer<QWidget> console = m_form->console;
    QVERIFY(console && console->isVisible());

    QTest::mouseClick(button("Command16"), Qt::LeftButton);
    QCOMPARE(TestEnv::stored(QStringLiteral("StartUP/ADRESS")), QStringLiteral("A002"));
    QVERIFY(!m_form->MSComm1.portOpen());
    QVERIFY(!m_form->isVisible());
    QTRY_VERIFY(!console || !console->isVisible());
    QCOMPARE(sent(), QByteArray());
}

void TstPanelButtons::addressSurvivesRestart_data()
{
    QTest::addColumn<QString>("prefix");
    for (const auto &[option, prefix] : kAddresses)
        QTest::newRow(option) << QString::fromLatin1(prefix);
}

// An address chosen, the program closed and started again: the same option
// is selected and power on goes out behind the same address.
void TstPanelButtons::addressSurvivesRestart()
{
    QFETCH(QString, prefix);
    const QString option = QString::fromLatin1(QTest::currentDataTag());
    QVERIFY(start(QStringLiteral("A004")));
    select(option);
    m_form->close();
    QCOMPARE(TestEnv::stored(QStringLiteral("StartUP/ADRESS")), prefix);

    m_form = std::make_unique<Form1>();
    m_form->Form_Load();
    QVERIFY(m_form->MSComm1.portOpen());
    QVERIFY(m_form->findChild<QRadioButton *>(option)->isChecked());
    QTest::mouseClick(button("Command17"), Qt::LeftButton);
    const QByteArray one = frame(prefix, "C00");
    QCOMPARE(m_line->read(one.size()), one);
}

QTEST_MAIN(TstPanelButtons)
#include "tst_panel_buttons.moc"
