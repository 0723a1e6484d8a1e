#include "common/testenv.h"
#include "projectors/venue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The [Projectors] section of the settings file as the venue reads it.
class TstVenue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lines_data();
    void lines();

private:
    QTemporaryDir m_dir; // DIR: a device "ttyUSB0" and its link "by-id/usb-FTDI"
};

void TstVenue::initTestCase()
{
    TestEnv::usePrivateSettings();
    QVERIFY(TestEnv::writeFile(m_dir.filePath("ttyUSB0"), {}));
    QVERIFY(QDir(m_dir.path()).mkdir("by-id"));
    QVERIFY(QFile::link(m_dir.filePath("ttyUSB0"), m_dir.filePath("by-id/usb-FTDI")));
}

void TstVenue::lines_data()
{
    // Each projector read: "name|port|device|address|prefix|baud" or "name: reason".
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("read");
    auto row = [](const char *name, const char *file, const QStringList &read) {
        QTest::newRow(name) << QByteArray(file) << read;
    };
    row("COM number through the port map, section names in any case",
        "[ports]\nCOM3=DIR/ttyUSB0\n[projectors]\nHall A=com3\n[Other]\nX=COM1\n[PROJECTORS]\n"
        "Desk=\"/dev/ttyS9 , baud=19200\"\n",
        {"Hall A|com3|DIR/ttyUSB0|||9600", "Desk|/dev/ttyS9|/dev/ttyS9|||19200"});
    row("network lines, blanks and CRLF",
        "[Projectors]\r\n Room 101 = rfc2217://ds-east:4001 , address=001 ,baud=19200 \r\n"
        "Room 102=rfc2217://DS-East:4001,BAUD=19200,address=002\r\nBar=tcp://[::1]:7000\r\n",
        {"Room 101|rfc2217://ds-east:4001|rfc2217://ds-east:4001|001|A001|19200",
         "Room 102|rfc2217://DS-East:4001|rfc2217://DS-East:4001|002|A002|19200",
         "Bar|tcp://[::1]:7000|tcp://[::1]:7000|||9600"});
    row("the same name in other case: the first one stays; comments are none",
        "[Projectors]\n; Hall A=COM9\nHall A=/dev/ttyS0\n#Hall A=COM8\nHALL A=/dev/ttyS1\n",
        {"Hall A|/dev/ttyS0|/dev/ttyS0|||9600",
         "HALL A: an earlier line has the same name (\"Hall A\")"});
    row("items that cannot be read",
        "[Projectors]\nA=/dev/ttyS0, adress=001\nB=/dev/ttyS0, address=005\nC=/dev/ttyS0, "
        "address=all\nD=/dev/ttyS0, baud=4800\nE=/dev/ttyS0, baud=9600, baud=9600\n"
        "F=/dev/ttyS0,,baud=9600\nG=/dev/ttyS0, baud 9600\n",
        {"A: \"adress\" is not a key: use address or baud",
         "B: the address \"005\" is not 001, 002, 003 or 004",
         "C: the address \"all\" is not 001, 002, 003 or 004",
         "D: the baud rate \"4800\" is not 9600 or 19200", "E: baud is given twice",
         "F: an item between commas is empty", "G: \"baud 9600\" is not a key=value item"});
    row("ports that are none",
        "[Projectors]\nA=\nB=ttyUSB0\nC=COM0\nD=COM16\nE=http://h:80\nF=tcp://h\n",
        {"A: no port is given",
         "B: \"ttyUSB0\" is not a port: give COM1 to COM15, a device path from /, or a tcp:// or "
         "rfc2217:// address",
         "C: \"COM0\" is not a port: COM numbers go from COM1 to COM15",
         "D: \"COM16\" is not a port: COM numbers go from COM1 to COM15",
         "E: \"http://h:80\" is not a network address that can be used: the scheme \"http\" is "
         "unknown (use tcp:// or rfc2217://)",
         "F: \"tcp://h\" is not a network address that can be used: the port number is missing"});
    row("a link, its device and a COM number mapped to it are one line",
        "[Ports]\nCOM3=DIR/ttyUSB0\n[Projectors]\nA=DIR/by-id/usb-FTDI, address=001\n"
        "B=DIR/ttyUSB0, address=001\nC=COM3, address=002, baud=19200\nD=COM3, address=003\n",
        {"A|DIR/by-id/usb-FTDI|DIR/by-id/usb-FTDI|001|A001|9600",
         "B: shares its line with \"A\" at the same address 001",
         "C: shares its line with \"A\" at 9600 baud; a line has one baud rate",
         "D|COM3|DIR/ttyUSB0|003|A003|9600"});
    row("network hosts in any case are one line; a bad line holds none",
        "[Projectors]\nA=tcp://Host:1, baud=4800\nB=tcp://Host:1\nC=tcp://host:1\n"
        "D=rfc2217://host:1\n",
        {"A: the baud rate \"4800\" is not 9600 or 19200", "B|tcp://Host:1|tcp://Host:1|||9600",
         "C: shares its line with \"B\", and neither has an address",
         "D|rfc2217://host:1|rfc2217://host:1|||9600"});
}

void TstVenue::lines()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, read);
    QVERIFY(
        TestEnv::writeFile(TestEnv::settingsFile(), file.replace("DIR", m_dir.path().toUtf8())));
    QStringList seen;
    for (const VenueProjector &p : Venue::read()) {
        const QString baud = p.baudCode == Projector::Baud9600 ? "9600" : "19200";
        seen << (p.usable()
                     ? QStringList{p.name, p.port, p.device, p.address, p.prefix, baud}.join('|')
                     : p.name + ": " + p.error);
    }
    QCOMPARE(seen, read.replaceInStrings("DIR", m_dir.path()));
}

QTEST_GUILESS_MAIN(TstVenue)
#include "tst_venue.moc"
