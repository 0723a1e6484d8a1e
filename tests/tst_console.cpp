#include "common/ptyline.h"
#include "common/testenv.h"
#include "console/form3.h"
#include "panel/form1.h"
#include "protocol/catalogue.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWindow>
#include <QtTest>

#include <memory>

// The command console on a real line: the main window's port is a
// pseudo-terminal, so every SEND is checked by the bytes that reach the
// projector's end.
class TstConsole : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Opening
    void opensAtFirstBasicRow_data();
    void opensAtFirstBasicRow();
    void commandTableAgainBringsSameConsole();
    // Choosing rows
    void rowChosen_data();
    void rowChosen();
    void listsTakeNoTyping();
    void listSwitchComesBackAtFirstRow_data();
    void listSwitchComesBackAtFirstRow();
    // Sending
    void sendTypedDigits_data();
    void sendTypedDigits();
    void sendText_data();
    void sendText();
    void sendThreeTimesOnePrefixEach();
    void sendLeavesCurrentCommandAndRunsTimers();
    // Closing
    void closeRestoresMainWindow_data();
    void closeRestoresMainWindow();
    void reopenStartsAfresh();
    void mainWindowEndsWithConsoleOpen_data();
    void mainWindowEndsWithConsoleOpen();

private:
    Form3 *openConsole()
    {
        m_form->Command74_Click();
        return qobject_cast<Form3 *>(m_form->console.data());
    }
    static void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    // Whether the engine's timer |name| runs (an exchange in progress).
    bool running(const char *name) const
    {
        return m_form->engine.findChild<QTimer *>(QLatin1StringView(name))->isActive();
    }

    std::unique_ptr<PtyLine> m_line;
    Form1 *m_form = nullptr;
};

namespace {
constexpr int kPort = 7;
} // namespace

void TstConsole::initTestCase()
{
    TestEnv::usePrivateSettings();
    m_line = std::make_unique<PtyLine>();
    QVERIFY(m_line->isValid());
    m_line->mapAs(kPort);
}

void TstConsole::init()
{
    m_form = new Form1;
    m_form->MSComm1.setCommPort(kPort);
    QVERIFY(m_form->MSComm1.setPortOpen(true));
    m_form->show();
}

void TstConsole::cleanup()
{
    // Most tests end with the console still open when the main window goes.
    delete m_form;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_line->readAvailable().isEmpty()); // nothing more than checked
}

// --- Opening ---------------------------------------------------------------

void TstConsole::opensAtFirstBasicRow_data()
{
    QTest::addColumn<bool>("timersRunning");
    QTest::newRow("timers off") << false;
    QTest::newRow("timers on") << true;
}

void TstConsole::opensAtFirstBasicRow()
{
    QFETCH(bool, timersRunning);
    if (timersRunning) {
        m_form->commandClick("C00");
        QCOMPARE(m_line->read(4), QByteArray("C00\r"));
    }
    Form3 *console = openConsole();
    QVERIFY(console);
    QVERIFY(console->isVisible() && console->isWindow());
    QCOMPARE(console->parentWidget(), m_form);
    QCOMPARE(console->windowTitle(), QStringLiteral("Command List"));
    QCOMPARE(console->size(), QSize(667, 138)); // 10005 x (2500 - 420) twips
    QCOMPARE(console->minimumSize(), console->maximumSize());

    QVERIFY(console->Combo1->isVisible());
    QVERIFY(!console->Combo2->isVisible() && !console->Combo3->isVisible());
    QCOMPARE(console->Combo1->currentText(), QStringLiteral("C00[CR]     :POWER ON"));
    QCOMPARE(console->Text1->text(), QStringLiteral("C00[CR]"));
    QCOMPARE(console->ConsoleCommand, QStringLiteral("C00\r"));
    QVERIFY(console->Label2->isVisible());
    QVERIFY(!console->Label1->isVisible());
    QCOMPARE(console->Label2->palette().color(QPalette::WindowText), QColor(Qt::red));
    // The first tab stop holds the keyboard focus.
    QCOMPARE(console->focusWidget(), console->Combo1);
    // Tab goes through the console and back to the list.
    QStringList walk;
    for (int i = 0; i < 11 && (walk.isEmpty() || walk.last() != QLatin1String("Combo1")); ++i) {
        QTest::keyClick(console->focusWidget(), Qt::Key_Tab);
        walk << console->focusWidget()->objectName();
    }
    QCOMPARE(walk.join(u' '),
             QStringLiteral("Command1 Command2 Command3 Text1 Command4 Command5 Combo1"));

    QVERIFY(m_form->statusFrame->isHidden());
    QCOMPARE(m_form->engine.pace(), TransactionEngine::Pace::Console);
    // Opening sets the intervals only; it switches neither timer.
    QCOMPARE(running("Timer2"), timersRunning);
    QCOMPARE(running("Timer4"), timersRunning);
}

void TstConsole::commandTableAgainBringsSameConsole()
{
    Form3 *console = openConsole();
    QVERIFY(console);
    click(console->Command4);
    console->chooseRow(console->Combo2, 5);
    console->Text1->selectAll();
    QTest::keyClicks(console->Text1, QStringLiteral("CF BRIGHT 077[CR]"));
    m_form->engine.setPace(TransactionEngine::Pace::PortOpened);
    m_form->statusFrame->show();

    QCOMPARE(openConsole(), console);
    QVERIFY(console->isVisible());
    // Not reloaded: list, row and text as the operator left them.
    QVERIFY(console->Combo2->isVisible());
    QCOMPARE(console->Combo2->currentIndex(), 5);
    QCOMPARE(console->ConsoleCommand, QStringLiteral("CF BRIGHT 077\r"));
    QVERIFY(m_form->statusFrame->isHidden());
    QCOMPARE(m_form->engine.pace(), TransactionEngine::Pace::Console);
    QCOMPARE(m_form->findChildren<Form3 *>().size(), 1);
}

// --- Choosing rows ---------------------------------------------------------

void TstConsole::rowChosen_data()
{
    QTest::addColumn<int>("list"); // 1 basic, 2 setting, 3 read
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("hintBefore"); // parameter hint shown beforehand
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hintAfter"); // and the focus moved to Text1

    QTest::newRow("setting 2, placeholders") << 2 << 2 << false << "CF CONT 0%%[CR]" << true;
    QTest::newRow("setting 162, % in description")
        << 2 << 162 << false << "CF INPUT1 DIGITAL[CR]" << true;
    QTest::newRow("setting 290") << 2 << 290 << false << "CF LOGO %%%% OFF[CR]" << true;
    QTest::newRow("setting 173, mark without ]")
        << 2 << 173 << false << "CF INPUT2 DIGITAL[CR]" << false;
    QTest::newRow("setting 116, blank after mark")
        << 2 << 116 << false << "CF ORGMODE 480I[CR]" << false;
    QTest::newRow("setting 0 hides the hint") << 2 << 0 << true << "CF CONT UP[CR]" << false;
    QTest::newRow("basic leaves it shown") << 1 << 37 << true << "CR0[CR]" << true;
    QTest::newRow("basic leaves it hidden") << 1 << 44 << false << "CRA[CR]" << false;
    QTest::newRow("read leaves it shown") << 3 << 6 << true << "CR TEMPFAIL[CR]" << true;
}

void TstConsole::rowChosen()
{
    QFETCH(int, list);
    QFETCH(int, row);
    QFETCH(bool, hintBefore);
    QFETCH(QString, text);
    QFETCH(bool, hintAfter);

    Form3 *console = openConsole();
    QVERIFY(console);
    QComboBox *combo = QList{console->Combo1, console->Combo2, console->Combo3}.at(list - 1);
    console->Label1->setVisible(hintBefore);
    console->Label2->hide();
    console->Combo1->setFocus();

    console->chooseRow(combo, row);

    QCOMPARE(console->Text1->text(), text);
    QCOMPARE(console->ConsoleCommand, text.chopped(4) + QLatin1Char('\r'));
    QVERIFY(console->Label2->isVisibleTo(console));
    QCOMPARE(console->Label1->isVisibleTo(console), hintAfter);
    QCOMPARE(console->focusWidget() == console->Text1, list == 2 && hintAfter);
}

void TstConsole::listsTakeNoTyping()
{
    Form3 *console = openConsole();
    QVERIFY(console);
    QVERIFY(!console->Combo1->isEditable());
    for (QPushButton *button : {console->Command4, console->Command5}) {
        click(button);
        QComboBox *combo = button == console->Command4 ? console->Combo2 : console->Combo3;
        QVERIFY(combo->isEditable());
        const QString row = combo->currentText();
        const QString text = console->Text1->text();
        QTest::keyClicks(combo->lineEdit(), QStringLiteral("C01 xyz"));
        QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        QCOMPARE(combo->currentText(), row);
        QCOMPARE(combo->count(), button == console->Command4 ? 362 : 99);
        QCOMPARE(console->Text1->text(), text);
        // The arrow keys do choose rows.
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(console->Text1->text(), Catalogue::commandPart(combo->itemText(1)) + "[CR]");
    }
}

void TstConsole::listSwitchComesBackAtFirstRow_data()
{
    QTest::addColumn<int>("target"); // 0..2: Command3..Command5, Combo1..Combo3
    QTest::addColumn<QString>("text");
    QTest::newRow("basic") << 0 << "C00[CR]";
    QTest::newRow("expanded setting") << 1 << "CF CONT UP[CR]";
    QTest::newRow("expanded read") << 2 << "CR STATUS[CR]";
}

void TstConsole::listSwitchComesBackAtFirstRow()
{
    QFETCH(int, target);
    QFETCH(QString, text);
    Form3 *console = openConsole();
    QVERIFY(console);
    const QList buttons{console->Command3, console->Command4, console->Command5};
    const QList lists{console->Combo1, console->Combo2, console->Combo3};

    // A row chosen there earlier; then another list, and a SEND that hides
    // the hints.
    click(buttons[target]);
    console->chooseRow(lists[target], 7);
    click(buttons[(target + 1) % 3]);
    click(console->Command1);
    m_line->read(1);
    m_line->readAvailable();

    for (int again = 0; again < 2; ++again) { // again: its own button twice
        click(buttons[target]);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(lists[i]->isVisible(), i == target);
        QCOMPARE(lists[target]->currentIndex(), 0);
        QCOMPARE(console->Text1->text(), text);
        QCOMPARE(console->ConsoleCommand, text.chopped(4) + QLatin1Char('\r'));
        QVERIFY(console->Label2->isVisible());
        console->chooseRow(lists[target], 3);
    }
}

// --- Sending ---------------------------------------------------------------

void TstConsole::sendTypedDigits_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("row"); // of the expanded setting list
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("no address") << "Option1" << 2 << "50" << QByteArray("CF CONT 050\r");
    QTest::newRow("projector 001") << "Option3" << 2 << "50" << QByteArray("A001CF CONT 050\r");
    QTest::newRow("all projectors") << "Option2" << 2 << "50" << QByteArray("AFFFCF CONT 050\r");
    QTest::newRow("four placeholders")
        << "Option1" << 290 << "1234" << QByteArray("CF LOGO 1234 OFF\r");
    QTest::newRow("% in the description only")
        << "Option1" << 162 << "2" << QByteArray("CF INPUT1 DIGITAL2\r");
}

void TstConsole::sendTypedDigits()
{
    QFETCH(QString, option);
    QFETCH(int, row);
    QFETCH(QString, typed);
    QFETCH(QByteArray, line);
    m_form->findChild<QRadioButton *>(option)->click();
    Form3 *console = openConsole();
    QVERIFY(console);
    click(console->Command4);
    console->chooseRow(console->Combo2, row);
    // The operator types the digits straight away, where the row left the
    // caret.
    QTest::keyClicks(console->Text1, typed);

    click(console->Command1);
    QCOMPARE(m_line->read(line.size()), line);
    QVERIFY(!console->Label1->isVisible() && !console->Label2->isVisible());
}

void TstConsole::sendText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("typed"); // typed key by key, or pasted
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("no mark") << "CR LAMPMODE" << true << QByteArray("CR LAMPMODE\r");
    QTest::newRow("mark alone") << "[CR]" << true << QByteArray("\r");
    QTest::newRow("empty box") << "" << true << QByteArray("\r");
    QTest::newRow("rest after first [") << "C00[CR]C01[CR]" << true << QByteArray("C00\r");
    QTest::newRow("blanks and case kept") << " cr0 [x" << true << QByteArray(" cr0 \r");
    QTest::newRow("placeholders left") << "CF CONT 0%%[CR]" << true << QByteArray("CF CONT 0%%\r");
    QTest::newRow("markup") << "<br>Y" << true << QByteArray("<br>Y\r");
    QTest::newRow("tab pasted") << "CF\tX[CR]" << false << QByteArray("CF\tX\r");
    // Beyond ASCII: a Latin-1 character goes as its byte, anything else as
    // one '?' per character.
    QTest::newRow("Latin-1 letter") << QStringLiteral("C\u00C90[CR]") << false
                                    << QByteArray("C\xC9"
                                                  "0\r");
    QTest::newRow("euro sign") << QStringLiteral("C\u20AC0[CR]") << false << QByteArray("C?0\r");
    QTest::newRow("Japanese") << QStringLiteral("\u96FB\u6E90[CR]") << false << QByteArray("??\r");
    QTest::newRow("outside the BMP") << QStringLiteral("C\U0001F600"
                                                       "0")
                                     << false << QByteArray("C?0\r");
    QTest::newRow("lone surrogate") << QStringLiteral("C") + QChar(0xD800) + QStringLiteral("0")
                                    << false << QByteArray("C?0\r");
}

void TstConsole::sendText()
{
    QFETCH(QString, text);
    QFETCH(bool, typed);
    QFETCH(QByteArray, line);
    Form3 *console = openConsole();
    QVERIFY(console);
    console->Text1->selectAll();
    if (!typed)
        console->Text1->insert(text);
    else if (text.isEmpty())
        QTest::keyClick(console->Text1, Qt::Key_Delete);
    else
        QTest::keyClicks(console->Text1, text);
    QCOMPARE(console->Text1->text(), text);

    click(console->Command1);
    QCOMPARE(m_line->read(line.size()), line);
    QVERIFY(!m_form->Label11->text().isEmpty()); // the sent-text display shows it
    QVERIFY(TestEnv::showsTextAsWritten(m_form->Label11));
}

void TstConsole::sendThreeTimesOnePrefixEach()
{
    m_form->Option3->click();
    Form3 *console = openConsole();
    QVERIFY(console);
    for (int i = 0; i < 3; ++i) {
        click(console->Command1);
        QCOMPARE(m_line->read(8), QByteArray("A001C00\r"));
    }
    QCOMPARE(console->Text1->text(), QStringLiteral("C00[CR]"));
}

void TstConsole::sendLeavesCurrentCommandAndRunsTimers()
{
    m_form->Option3->click();
    m_form->commandClick("CR0");
    QCOMPARE(m_line->read(8), QByteArray("A001CR0\r"));
    Form3 *console = openConsole();
    QVERIFY(console);
    console->Text1->setText(QStringLiteral("CR1[CR]"));
    click(console->Command1);
    QCOMPARE(m_line->read(8), QByteArray("A001CR1\r"));
    QCOMPARE(m_form->engine.currentCommand(), QStringLiteral("A001CR0\r"));
    // The reply is awaited with the console's long intervals.
    QVERIFY(running("Timer2") && running("Timer4"));
    QCOMPARE(m_form->engine.awaitingReply(), quint8(1));
    QCOMPARE(m_form->engine.pace(), TransactionEngine::Pace::Console);
}

// --- Closing ---------------------------------------------------------------

void TstConsole::closeRestoresMainWindow_data()
{
    QTest::addColumn<bool>("byButton"); // CLOSE, or the window's close box
    QTest::addColumn<bool>("mainHidden");
    QTest::newRow("CLOSE") << true << false;
    QTest::newRow("CLOSE shows the main window") << true << true;
    QTest::newRow("close box") << false << false;
}

void TstConsole::closeRestoresMainWindow()
{
    QFETCH(bool, byButton);
    QFETCH(bool, mainHidden);
    QPointer<Form3> console = openConsole();
    QVERIFY(console);
    QVERIFY(QTest::qWaitForWindowExposed(console));
    if (mainHidden)
        m_form->hide();
    click(console->Command1);
    QCOMPARE(m_line->read(4), QByteArray("C00\r"));

    if (byButton)
        click(console->Command2);
    else
        console->windowHandle()->close(); // as the window system does

    QVERIFY(!m_form->console);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!console);
    QVERIFY(m_form->isVisible());
    QVERIFY(m_form->statusFrame->isVisible());
    QCOMPARE(m_form->engine.pace(), TransactionEngine::Pace::PortOpened);
    QVERIFY(running("Timer2")); // the exchange runs on
}

void TstConsole::reopenStartsAfresh()
{
    Form3 *first = openConsole();
    QVERIFY(first);
    click(first->Command5);
    first->chooseRow(first->Combo3, 4);
    click(first->Command2);

    // At once, before the closed console is gone.
    Form3 *second = openConsole();
    QVERIFY(second && second != first);
    QVERIFY(second->isVisible() && second->Combo1->isVisible());
    QCOMPARE(second->Text1->text(), QStringLiteral("C00[CR]"));
    QVERIFY(m_form->statusFrame->isHidden());
    QCOMPARE(m_form->engine.pace(), TransactionEngine::Pace::Console);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(m_form->findChildren<Form3 *>(), QList<Form3 *>{second});
}

void TstConsole::mainWindowEndsWithConsoleOpen_data()
{
    QTest::addColumn<bool>("closed"); // closed first, or destroyed outright
    QTest::newRow("main window closed") << true;
    QTest::newRow("main window destroyed") << false;
}

void TstConsole::mainWindowEndsWithConsoleOpen()
{
    QFETCH(bool, closed);
    QPointer<Form3> console = openConsole();
    QVERIFY(console);
    if (closed) {
        QVERIFY(m_form->close());
        QVERIFY(!console || !console->isVisible());
        QVERIFY(!m_form->MSComm1.portOpen());
    }
    delete m_form;
    QVERIFY(!console);
    init(); // a main window for cleanup
}

QTEST_MAIN(TstConsole)

#include "tst_console.moc"
