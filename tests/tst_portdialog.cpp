// The port settings dialog as the operator uses it: choosing, typing, OK,
// Cancel and the close box, against a pseudo-terminal mapped as COM3 and a
// device that does not exist mapped as COM4. Every message box is answered.

#include "common/ptyline.h"
#include "common/testenv.h"
#include "panel/form1.h"
#include "portdialog/form2.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QString kMissing = QStringLiteral("/nonexistent/x");

QString stored(const char *key)
{
    return TestEnv::stored(QStringLiteral("StartUP/") + QLatin1String(key));
}

// What a message box said, and how things stood while it showed.
struct Box {
    QString text, title, info;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    bool portOpen, dialogShown;
};

} // namespace

class TstPortDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup()
    {
        m_answerBoxes.stop();
        m_main = nullptr;
    }

    void firstStart();
    void typing_data();
    void typing();
    void badText_data();
    void badText();
    void okMissingThenPresent_data();
    void okMissingThenPresent();
    void failureReasons_data();
    void failureReasons();
    void cancelAfterCom();
    void comAgainTakesNewCopies();
    void cancelAtStartUp();
    void cancelWithoutPreviousPortClosesOpenPort();
    void closing_data();
    void closing();
    void returnDoesNothing_data();
    void returnDoesNothing();
    void tooltips();
    void tooltipsForAdaptersAndServers_data();
    void tooltipsForAdaptersAndServers();
    void usbAdapterFromTheDialog();

private:
    // The "COM" button; the dialog it shows.
    Form2 *com(Form1 &main)
    {
        m_main = &main;
        main.Command33_Click();
        return qobject_cast<Form2 *>(main.portDialog.data());
    }
    // COM3 open at |baud|, as after a successful start.
    void openCom3(Form1 &main, quint8 baud)
    {
        main.session.ComPortNo = 3;
        main.session.BaudCode = baud;
        main.MSComm1.setSettings(baud == 96 ? "9600,N,8,1" : "19200,N,8,1");
        main.MSComm1.setCommPort(3);
        QVERIFY(main.MSComm1.setPortOpen(true));
    }
    // Form_Load with |answer| driving the modal dialog; closes it afterwards
    // should it still be open.
    void startUp(Form1 &main, const std::function<void(Form2 *)> &answer)
    {
        m_main = &main;
        TestEnv::whenModal([answer](QWidget *modal) {
            if (auto *dialog = qobject_cast<Form2 *>(modal))
                answer(dialog);
            modal->close();
        });
        main.Form_Load();
    }
    static void type(Form2 *d, const QString &keys) { QTest::keyClicks(d->Text1, keys); }

    std::unique_ptr<PtyLine> m_line;
    QTimer m_answerBoxes;
    QList<Box> m_boxes;
    Form1 *m_main = nullptr;
};

void TstPortDialog::initTestCase()
{
    TestEnv::usePrivateSettings();
    m_line = std::make_unique<PtyLine>();
    QVERIFY(m_line->isValid());
    m_answerBoxes.setInterval(5);
    connect(&m_answerBoxes, &QTimer::timeout, this, [this]() {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !m_main)
            return;
        m_boxes.append({box->text(), box->windowTitle(), box->informativeText(), box->icon(),
                        box->standardButtons(), m_main->MSComm1.portOpen(),
                        m_main->portDialog && m_main->portDialog->isVisible()});
        box->button(QMessageBox::Ok)->click();
    });
}

void TstPortDialog::init()
{
    // COM10 to COM14: entries that are no device and no usable address.
    TestEnv::seed({{QStringLiteral("Ports/COM3"), m_line->slavePath()},
                   {QStringLiteral("Ports/COM4"), kMissing},
                   {QStringLiteral("Ports/COM10"), QStringLiteral("tcp://127.0.0.1")},
                   {QStringLiteral("Ports/COM11"), QStringLiteral("rfc2217://127.0.0.1:65536")},
                   {QStringLiteral("Ports/COM12"), QStringLiteral("rfc2217://:4001")},
                   {QStringLiteral("Ports/COM13"), QStringLiteral("tcp://my host:4001")},
                   {QStringLiteral("Ports/COM14"), QStringLiteral("telnet://127.0.0.1:23")}});
    m_boxes.clear();
    m_answerBoxes.start();
    m_line->readAvailable(0);
}

void TstPortDialog::firstStart()
{
    Form1 main;
    bool seen = false;
    startUp(main, [&](Form2 *d) {
        seen = true;
        QCOMPARE(d->windowTitle(), QStringLiteral("  COM PORT"));
        for (QRadioButton *o : {d->Option3, d->Option4, d->Option5, d->Option6, d->Option7})
            QVERIFY(!o->isChecked());
        QVERIFY(d->Option2->isChecked());
        QCOMPARE(main.session.BaudCode, quint8(192));
        QCOMPARE(d->focusWidget(), d->Text1);
        QCOMPARE(d->Text1->selectedText(), QStringLiteral("0"));
        QVERIFY(!d->openFailureNote); // nothing was stored: nothing failed
        // Tab goes through the dialog in its tab order and back to the number
        // box. (Which unchecked option buttons Tab stops at is the toolkit's
        // affair, and differs between builds: only these are compared.)
        const QStringList order{"Option1", "Option3", "Command1", "Command2", "Text1"};
        QStringList walk;
        for (int i = 0; i < 13 && (walk.isEmpty() || walk.last() != QLatin1String("Text1")); ++i) {
            QTest::keyClick(d->focusWidget(), Qt::Key_Tab);
            if (order.contains(d->focusWidget()->objectName()))
                walk << d->focusWidget()->objectName();
        }
        QCOMPARE(walk, order);
        d->Command1->click();
        QVERIFY(d->isVisible());
    });
    QVERIFY(seen);
    QCOMPARE(m_boxes.size(), 1);
    const Box &box = m_boxes.first();
    QCOMPARE(box.text, QStringLiteral("Retry Comport"));
    QCOMPARE(box.title, QStringLiteral("Error"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(box.info.contains(QStringLiteral("No port is chosen")));
    QVERIFY(!main.MSComm1.portOpen());
    QCOMPARE(stored("ComPort"), QStringLiteral("<absent>"));
}

// Steps: digits are typed into Text1, "@Option4" clicks that option.
void TstPortDialog::typing_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("checked");
    QTest::newRow("7") << QStringList{"7"} << 7 << "7"
                       << "";
    QTest::newRow("7 then 71") << QStringList{"7", "1"} << 7 << "0"
                               << "";
    QTest::newRow("15") << QStringList{"15"} << 15 << "15"
                        << "";
    QTest::newRow("16 keeps 1") << QStringList{"16"} << 1 << "0"
                                << "";
    QTest::newRow("71 then 9") << QStringList{"71", "9"} << 9 << "9"
                               << "";
    QTest::newRow("COM2 then 9") << QStringList{"@Option4", "9"} << 9 << "9"
                                 << "Option4";
    QTest::newRow("9 then COM2") << QStringList{"9", "@Option4"} << 2 << "9"
                                 << "Option4";
    QTest::newRow("COM2, 9, COM2 again") << QStringList{"@Option4", "9", "@Option4"} << 2 << "9"
                                         << "Option4";
}

void TstPortDialog::typing()
{
    QFETCH(QStringList, steps);
    Form1 main;
    Form2 *d = com(main);
    for (const QString &step : steps) {
        if (step.startsWith(QLatin1Char('@')))
            d->findChild<QRadioButton *>(step.mid(1))->click();
        else
            type(d, step);
    }
    QTEST(int(main.session.ComPortNo), "port");
    QTEST(d->Text1->text(), "text");
    QFETCH(QString, checked);
    for (QRadioButton *o : {d->Option3, d->Option4, d->Option5, d->Option6, d->Option7})
        QCOMPARE(o->isChecked(), o->objectName() == checked);
}

void TstPortDialog::badText_data()
{
    QTest::addColumn<QString>("how"); // set, paste or type
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("shown");
    for (const char *text : {"", " ", "abc", "-", "-3", "0", "00", "256", "300",
                             "99999999999999999999", "7a", "1.5", "+5", "0x7"})
        QTest::addRow("set '%s'", text) << "set" << text << 3 << "0";
    QTest::newRow("set Arabic-Indic 1") << "set" << QStringLiteral("\u0661") << 3 << "0";
    QTest::newRow("set fullwidth 7") << "set" << QStringLiteral("\uff17") << 3 << "0";
    QTest::newRow("set blanks around 12") << "set"
                                          << "\t12 " << 12 << "\t12 ";
    QTest::newRow("set 1, blank, 2") << "set"
                                     << "1 2" << 3 << "0";
    QTest::newRow("paste COM7") << "paste"
                                << "COM7" << 3 << "0";
    QTest::newRow("type -") << "type"
                            << "-" << 3 << "0";
    QTest::newRow("type abc") << "type"
                              << "abc" << 3 << "0";
    QTest::newRow("type x9") << "type"
                             << "x9" << 9 << "9";
    QTest::newRow("set 07") << "set"
                            << "07" << 7 << "07";
    QTest::newRow("paste 12") << "paste"
                              << "12" << 12 << "12";
}

void TstPortDialog::badText()
{
    QFETCH(QString, how);
    QFETCH(QString, text);
    Form1 main;
    Form2 *d = com(main);
    d->Option5->click(); // COM3
    if (how == QLatin1String("set")) {
        d->Text1->setText(text);
    } else if (how == QLatin1String("paste")) {
        QApplication::clipboard()->setText(text);
        d->Text1->selectAll();
        d->Text1->paste();
    } else {
        type(d, text);
    }
    QTEST(int(main.session.ComPortNo), "port");
    QTEST(d->Text1->text(), "shown");
    QVERIFY(m_boxes.isEmpty());
}

void TstPortDialog::okMissingThenPresent_data()
{
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("settings");
    QTest::newRow("9600") << "Option1"
                          << "96"
                          << "9600,N,8,1";
    QTest::newRow("19200") << "Option2"
                           << "192"
                           << "19200,N,8,1";
}

void TstPortDialog::okMissingThenPresent()
{
    QFETCH(QString, baud);
    Form1 main;
    main.session.BaudCode = baud == QLatin1String("Option1") ? 192 : 96; // start on the other one
    Form2 *d = com(main);
    d->findChild<QRadioButton *>(baud)->click();
    d->Option6->click(); // COM4: no such device
    d->Command1->click();
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes[0].info.contains(kMissing) && m_boxes[0].info.contains("does not exist"),
             qPrintable(m_boxes[0].info));
    QVERIFY(d->isVisible());
    QVERIFY(!main.MSComm1.portOpen());
    QCOMPARE(stored("ComPort"), QStringLiteral("<absent>"));
    QCOMPARE(stored("BaudRate"), QStringLiteral("<absent>"));

    d->Option5->click(); // COM3: the pseudo-terminal
    d->Command1->click();
    QCOMPARE(m_boxes.size(), 1);
    QTRY_VERIFY(!main.portDialog);
    QVERIFY(main.isVisible());
    QCOMPARE(stored("ComPort"), QStringLiteral("3"));
    QTEST(stored("BaudRate"), "stored");
    QTEST(main.MSComm1.settings(), "settings");
    QVERIFY(main.MSComm1.output(QStringLiteral("C00\r")));
    QCOMPARE(m_line->read(4), QByteArray("C00\r"));
}

void TstPortDialog::failureReasons_data()
{
    QTest::addColumn<int>("start");     // ComPortNo when "COM" is pressed
    QTest::addColumn<bool>("holdCom3"); // another program has COM3 open
    QTest::addColumn<QStringList>("reason");
    QTest::newRow("no port") << 0 << false
                             << QStringList{"No port is chosen: choose one of COM1 to COM5, or "
                                            "type a number from 1 to 15 next to OTHER."};
    QTest::newRow("in use") << 3 << true
                            << QStringList{"COM3", m_line->slavePath(),
                                           "in use by another program"};
    QTest::newRow("stored 16") << 16 << false
                               << QStringList{"16 is not a port number from 1 to 15."};
    QTest::newRow("stored -2") << -2 << false << QStringList{"-2 is not a port number"};
    QTest::newRow("address without port")
        << 10 << false << QStringList{"COM10=tcp://127.0.0.1", "port number is missing"};
    QTest::newRow("port above 65535")
        << 11 << false << QStringList{"COM11=rfc2217://127.0.0.1:65536", "65535"};
    QTest::newRow("empty host") << 12 << false
                                << QStringList{"COM12=rfc2217://:4001", "host is empty"};
    QTest::newRow("space in address")
        << 13 << false << QStringList{"COM13=tcp://my host:4001", "contains spaces"};
    QTest::newRow("unknown scheme")
        << 14 << false << QStringList{"COM14=telnet://127.0.0.1:23", "\"telnet\" is unknown"};
}

void TstPortDialog::failureReasons()
{
    QFETCH(int, start);
    QFETCH(bool, holdCom3);
    QFETCH(QStringList, reason);
    MSComm other;
    other.setCommPort(3);
    QVERIFY(!holdCom3 || other.setPortOpen(true));
    Form1 main;
    main.session.ComPortNo = qint16(start);
    Form2 *d = com(main);
    QFile file(TestEnv::settingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    d->Command1->click();
    QCOMPARE(m_boxes.size(), 1);
    for (const QString &part : reason)
        QVERIFY2(m_boxes[0].info.contains(part), qPrintable(m_boxes[0].info));
    QVERIFY(d->isVisible());
    QVERIFY(!main.MSComm1.portOpen());
    QCOMPARE(stored("ComPort"), QStringLiteral("<absent>"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before); // nothing written because of it

    // Permission: the owning group and what to do about it.
    const QString text = Form2::failureDetail(MSComm::OpenFailure::PermissionDenied, 5,
                                              "/dev/ttyUSB0", "uucp", QString());
    QCOMPARE(text, "COM5 (/dev/ttyUSB0): permission denied. Your user must be a member of the "
                   "group \"uucp\" that owns the device; log in again after joining it.");
}

void TstPortDialog::cancelAfterCom()
{
    Form1 main;
    openCom3(main, 96);
    Form2 *d = com(main);
    QVERIFY(!main.MSComm1.portOpen()); // "COM" closes the port
    QVERIFY(d->Option5->isChecked() && d->Option1->isChecked());
    d->Option6->click();
    d->Option2->click();
    type(d, QStringLiteral("9"));
    QCOMPARE(main.session.ComPortNo, qint16(9));

    d->Command2->click();
    QVERIFY(m_boxes.isEmpty());
    QVERIFY(d->Option1->isChecked()); // the previous baud option again
    QTRY_VERIFY(!main.portDialog);
    QCOMPARE(main.session.ComPortNo, qint16(3));
    QCOMPARE(main.session.BaudCode, quint8(96));
    QCOMPARE(main.MSComm1.settings(), QStringLiteral("9600,N,8,1"));
    QVERIFY(main.MSComm1.output(QStringLiteral("CR0\r")));
    QCOMPARE(m_line->read(4), QByteArray("CR0\r"));
    QCOMPARE(stored("ComPort"), QStringLiteral("<absent>"));
    QCOMPARE(stored("BaudRate"), QStringLiteral("<absent>"));
}

// "COM" again while the dialog is open brings the same dialog forward and
// copies the values it has already changed: Cancel goes back to those.
void TstPortDialog::comAgainTakesNewCopies()
{
    Form1 main;
    openCom3(main, 96);
    Form2 *d = com(main);
    d->Option6->click(); // COM4, which does not exist
    QCOMPARE(com(main), d);
    QCOMPARE(main.session.PrevComPortNo, qint16(4));
    d->Command2->click();
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY(m_boxes[0].info.contains(kMissing));
    QVERIFY(d->isVisible());
    QVERIFY(!main.MSComm1.portOpen());
}

void TstPortDialog::cancelAtStartUp()
{
    Form1 main;
    startUp(main, [&](Form2 *d) {
        d->Option5->click();
        d->Command2->click(); // no previous port
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].dialogShown);
        QCOMPARE(main.session.ComPortNo, qint16(0));
        d->Command1->click(); // still no port
        QCOMPARE(m_boxes.size(), 2);
        d->Option5->click(); // chosen again
        d->Command1->click();
    });
    QCOMPARE(m_boxes.size(), 2);
    QVERIFY(!main.portDialog);
    QVERIFY(main.MSComm1.portOpen());
    QCOMPARE(stored("ComPort"), QStringLiteral("3"));
    QCOMPARE(stored("BaudRate"), QStringLiteral("192"));
}

// Without a previous port, Cancel closes an open port and the dialog before
// the message shows.
void TstPortDialog::cancelWithoutPreviousPortClosesOpenPort()
{
    Form1 main;
    Form2 *d = com(main);
    main.MSComm1.setCommPort(3);
    QVERIFY(main.MSComm1.setPortOpen(true));
    d->Command2->click();
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY(!m_boxes[0].portOpen);
    QVERIFY(!m_boxes[0].dialogShown);
    QTRY_VERIFY(!main.portDialog);
}

void TstPortDialog::closing_data()
{
    QTest::addColumn<bool>("atStartUp");
    QTest::addColumn<QString>("how");
    for (bool atStartUp : {false, true}) {
        QTest::addRow("%s, close box", atStartUp ? "start-up" : "COM") << atStartUp << "close";
        QTest::addRow("%s, Escape", atStartUp ? "start-up" : "COM") << atStartUp << "escape";
    }
    QTest::newRow("COM, main window closed") << false << "main";
}

void TstPortDialog::closing()
{
    QFETCH(bool, atStartUp);
    QFETCH(QString, how);
    Form1 main;
    auto act = [&](Form2 *d) {
        d->Option6->click();
        d->Option1->click();
        if (how == QLatin1String("close"))
            d->close();
        else if (how == QLatin1String("escape"))
            QTest::keyClick(d, Qt::Key_Escape);
        else
            main.close();
    };
    if (atStartUp) {
        startUp(main, act);
    } else {
        openCom3(main, 192);
        main.show();
        act(com(main));
    }
    QTRY_VERIFY(!main.portDialog);
    QVERIFY(m_boxes.isEmpty());
    QVERIFY(!main.MSComm1.portOpen());
    QCOMPARE(main.session.ComPortNo, qint16(4));
    QCOMPARE(main.session.BaudCode, quint8(96));
    QCOMPARE(stored("ComPort"), QStringLiteral("<absent>"));
}

// The dialog has no default button: Return or Enter, wherever the focus
// is, neither opens the port nor stores anything.
void TstPortDialog::returnDoesNothing_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::newRow("number box, Return") << "Text1" << int(Qt::Key_Return);
    QTest::newRow("number box, Enter") << "Text1" << int(Qt::Key_Enter);
    QTest::newRow("COM3 option, Return") << "Option5" << int(Qt::Key_Return);
    QTest::newRow("Cancel, Return") << "Command2" << int(Qt::Key_Return);
}

void TstPortDialog::returnDoesNothing()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    Form1 main;
    Form2 *d = com(main);
    type(d, QStringLiteral("3")); // COM3: OK would open it
    QWidget *target = d->findChild<QWidget *>(focus);
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key));
    QTest::qWait(20);
    QVERIFY(d->isVisible());
    QVERIFY(m_boxes.isEmpty());
    QVERIFY(!main.MSComm1.portOpen());
    QCOMPARE(stored("ComPort"), QStringLiteral("<absent>"));
}

void TstPortDialog::tooltips()
{
    Form1 main;
    Form2 *d = com(main);
    QVERIFY(d->Option5->toolTip().contains(m_line->slavePath() + " (present)"));
    QVERIFY(d->Option6->toolTip().contains(kMissing + " (not found)"));
    type(d, QStringLiteral("4"));
    QVERIFY(d->Text1->toolTip().contains(kMissing));
    d->Text1->setText(QStringLiteral("3"));
    QVERIFY(d->Text1->toolTip().contains(m_line->slavePath()));
    d->Text1->setText(QStringLiteral("x"));
    QCOMPARE(d->Text1->toolTip(), QStringLiteral("Another port: a number from 1 to 15"));
}

void TstPortDialog::tooltipsForAdaptersAndServers_data()
{
    QTest::addColumn<QString>("entry"); // COM9's entry; "" for none
    QTest::addColumn<bool>("plugged");  // an adapter link, to the line or to nothing
    QTest::addColumn<int>("port");
    QTest::addColumn<QStringList>("parts");
    const QString adapter = QStringLiteral("usb-Acme_USB_Serial_A1-if00-port0");
    // COM3 and COM4 have entries: the adapter is the next free number.
    QTest::newRow("adapter plugged in")
        << "" << true << 5
        << QStringList{"COM5", "USB adapter", adapter, "<adapter line>", "present"};
    QTest::newRow("adapter gone") << "" << false << 5
                                  << QStringList{"COM5", "USB adapter", adapter, "not found"};
    QTest::newRow("raw server") << "tcp://projector.lan:4001" << false << 9
                                << QStringList{"COM9", "tcp://projector.lan:4001", "raw TCP"};
    QTest::newRow("Telnet server") << "rfc2217://10.0.0.7:2001" << false << 9
                                   << QStringList{"COM9", "rfc2217://10.0.0.7:2001", "Telnet"};
    QTest::newRow("unusable address") << "rfc2217://10.0.0.7" << false << 9
                                      << QStringList{"COM9", "unusable", "port number is missing"};
}

// The options and the number box tell which device or server each number
// reaches and whether it is there.
void TstPortDialog::tooltipsForAdaptersAndServers()
{
    QFETCH(QString, entry);
    QFETCH(bool, plugged);
    QFETCH(int, port);
    QFETCH(QStringList, parts);
    PtyLine adapterLine;
    QTemporaryDir byId;
    QVERIFY(QFile::link(plugged ? adapterLine.slavePath() : byId.filePath("gone"),
                        byId.filePath("usb-Acme_USB_Serial_A1-if00-port0")));
    qputenv("ORVA_SERIAL_BY_ID", QFile::encodeName(byId.path()));
    if (!entry.isEmpty())
        TestEnv::seed({{QStringLiteral("Ports/COM3"), m_line->slavePath()},
                       {QStringLiteral("Ports/COM4"), kMissing},
                       {QStringLiteral("Ports/COM9"), entry}});
    Form1 main;
    Form2 *d = com(main);
    d->Text1->setText(QString::number(port));
    const QString tip = d->Text1->toolTip();
    qunsetenv("ORVA_SERIAL_BY_ID");
    for (QString part : parts)
        QVERIFY2(tip.contains(part.replace("<adapter line>", adapterLine.slavePath())),
                 qPrintable(tip));
    if (port == 5)
        QCOMPARE(d->Option7->toolTip(), tip);
}

// A USB adapter nobody configured is reached with the dialog alone, and the
// choice is stored as a number without adding anything to [Ports].
void TstPortDialog::usbAdapterFromTheDialog()
{
    PtyLine adapter;
    QVERIFY(adapter.isValid());
    QTemporaryDir byId;
    QVERIFY(QFile::link(adapter.slavePath(), byId.filePath("usb-Acme_USB_Serial_A1-if00-port0")));
    qputenv("ORVA_SERIAL_BY_ID", QFile::encodeName(byId.path()));
    Form1 main;
    Form2 *d = com(main);
    QVERIFY(d->Option7->toolTip().contains("USB adapter"));
    QTest::mouseClick(d->Option7, Qt::LeftButton, {}, QPoint(5, d->Option7->height() / 2));
    QTest::mouseClick(d->Command1, Qt::LeftButton);
    qunsetenv("ORVA_SERIAL_BY_ID");
    QVERIFY(m_boxes.isEmpty());
    QVERIFY(main.MSComm1.portOpen());
    QVERIFY(main.MSComm1.output(QStringLiteral("C00\r")));
    QCOMPARE(adapter.read(4), QByteArray("C00\r"));
    QCOMPARE(stored("ComPort"), QStringLiteral("5"));
    QCOMPARE(TestEnv::stored(QStringLiteral("Ports/COM5")), QStringLiteral("<absent>"));
}

QTEST_MAIN(TstPortDialog)
#include "tst_portdialog.moc"
