#include "common/testenv.h"
#include "projectors/venue.h"
#include "store/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

class TstSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void init() { TestEnv::clearStore(); }
    void numbers_data();
    void numbers();
    void roundTripAndDefaults();
    void reads_data();
    void reads();
    void saves_data();
    void saves();
    void faults_data();
    void faults();
    void faultToldOnce_data();
    void faultToldOnce();
    void venue_data();
    void venue();
    void cleanup();
};

void TstSettings::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("baud");

    QTest::newRow("absent default") << "DATAC" << 0 << 192;
    QTest::newRow("empty") << "" << 0 << 192;
    QTest::newRow("plain") << "3" << 3 << 192;
    QTest::newRow("fifteen") << "15" << 15 << 192;
    QTest::newRow("96") << "96" << 96 << 96;
    QTest::newRow("192") << "192" << 192 << 192;
    QTest::newRow("leading blanks") << "  96" << 96 << 96;
    QTest::newRow("trailing text") << "7abc" << 7 << 192;
    QTest::newRow("decimal rounds") << "95.6" << 96 << 96;
    QTest::newRow("half to even down") << "2.5" << 2 << 192;
    QTest::newRow("half to even up") << "3.5" << 4 << 192;
    QTest::newRow("exponent") << "9.6e1" << 96 << 96;
    QTest::newRow("bare exponent ignored") << "3e" << 3 << 192;
    QTest::newRow("negative") << "-5" << -5 << 192;
    QTest::newRow("beyond 16 bits") << "99999999999" << 0 << 192;
    QTest::newRow("just beyond 16 bits") << "32768" << 0 << 192;
    QTest::newRow("16-bit edge") << "32767" << 32767 << 192;
    QTest::newRow("352 is not 96") << "352" << 352 << 192;
    QTest::newRow("huge exponent") << "1e400" << 0 << 192;
    QTest::newRow("lone sign") << "-" << 0 << 192;
    QTest::newRow("letters") << "A003" << 0 << 192;
    QTest::newRow("non-ASCII digits") << QString::fromUtf8("\u0663") << 0 << 192;
}

void TstSettings::numbers()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    QFETCH(int, baud);
    QCOMPARE(int(portNumberFromText(text)), port);
    QCOMPARE(int(baudCodeFromText(text)), baud);
}

void TstSettings::roundTripAndDefaults()
{
    using namespace SettingsStore;
    QCOMPARE(read("ORVA", "StartUP", "ADRESS", "DATAD"), QStringLiteral("DATAD"));
    QVERIFY(save("ORVA", "StartUP", "ADRESS", "A002"));
    QCOMPARE(read("ORVA", "StartUP", "ADRESS", "DATAD"), QStringLiteral("A002"));
    // An empty address is stored as an empty text, not as an absent key.
    QVERIFY(save("ORVA", "StartUP", "ADRESS", ""));
    QCOMPARE(read("ORVA", "StartUP", "ADRESS", "DATAD"), QString());
    // Texts that INI files treat specially come back as they were stored.
    for (const char *text : {"a, b", "x=y", "[CR]", "; not a comment", " lead"}) {
        QVERIFY(save("ORVA", "StartUP", "ADRESS", text));
        QCOMPARE(read("ORVA", "StartUP", "ADRESS", "DATAD"), QString::fromLatin1(text));
    }
    QCOMPARE(fileName("ORVA"), TestEnv::settingsFile());
}

namespace {

// A hand-edited file as users keep it: comments, blank lines, their own order.
const QByteArray kHandEdited = "; projector in room 4\n"
                               "[StartUP]\n"
                               "ComPort=3\n"
                               "ADRESS=A001\n"
                               "BaudRate=96\n"
                               "\n"
                               "; the USB adapter on the desk\n"
                               "[Ports]\n"
                               "COM3=/dev/ttyUSB0\n";

} // namespace

// What reading sees in files written by hand.
void TstSettings::reads_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value"); // "<absent>" when the key is not there

    const QString s = "StartUP", p = "Ports";
    QTest::newRow("line without = skipped")
        << QByteArray("[Ports]\nCOM6 /dev/ttyUSB1\nCOM5=/dev/ttyS9\n") << p << "COM5"
        << "/dev/ttyS9";
    QTest::newRow("line without = is no key")
        << QByteArray("[Ports]\nCOM6 /dev/ttyUSB1\n") << p << "COM6"
        << "<absent>";
    QTest::newRow("non-UTF-8 byte, one character per byte")
        << QByteArray("[Ports]\nCOM5=/dev/serial/by-id/usb-Caf\xE9\n") << p << "COM5"
        << QString::fromLatin1("/dev/serial/by-id/usb-Caf\xE9");
    QTest::newRow("UTF-8") << QByteArray("[Ports]\nCOM5=/dev/Caf\xC3\xA9\n") << p << "COM5"
                           << QString::fromUtf8("/dev/Caf\xC3\xA9");
    QTest::newRow("stray quote stays in its line")
        << QByteArray("[StartUP]\nBaudRate=96\"\n[Ports]\nCOM3=/dev/ttyUSB0\n") << s << "BaudRate"
        << "96\"";
    QTest::newRow("stray quote hides nothing after it")
        << QByteArray("[StartUP]\nBaudRate=96\"\n[Ports]\nCOM3=/dev/ttyUSB0\n") << p << "COM3"
        << "/dev/ttyUSB0";
    QTest::newRow("empty quotes") << QByteArray("[StartUP]\nADRESS=\"\"\n") << s << "ADRESS"
                                  << "";
    QTest::newRow("one quote kept") << QByteArray("[StartUP]\nADRESS=\"A002\n") << s << "ADRESS"
                                    << "\"A002";
    QTest::newRow("key of another section") << QByteArray("[Ports]\nADRESS=A003\n") << s << "ADRESS"
                                            << "<absent>";
    QTest::newRow("key before any section")
        << QByteArray("ComPort=3\n[StartUP]\n") << s << "ComPort"
        << "<absent>";
    QTest::newRow("comment is no key") << QByteArray("[StartUP]\n;ComPort=5\n") << s << "ComPort"
                                       << "<absent>";
    QTest::newRow("comment after a section name")
        << QByteArray("[StartUP] ; mine\nComPort=3\n") << s << "ComPort"
        << "3";
    QTest::newRow("empty file") << QByteArray() << s << "ComPort"
                                << "<absent>";
    QTest::newRow("names in another letter case")
        << QByteArray("[startup]\ncomport=3\n") << s << "ComPort"
        << "3";
    QTest::newRow("first of two keys counts")
        << QByteArray("[StartUP]\nComPort=3\nComPort=5\n") << s << "ComPort"
        << "3";
    QTest::newRow("key of the first of two sections counts")
        << QByteArray("[StartUP]\nComPort=3\n[StartUP]\nComPort=5\n") << s << "ComPort"
        << "3";
    static const char garbage[] = "\xff\xfe[StartUP\nComPort=3\n=\n[[x]\n\x01\x02\0ComPort=9";
    QTest::newRow("binary garbage")
        << QByteArray::fromRawData(garbage, sizeof garbage - 1) << s << "ComPort"
        << "<absent>";
}

void TstSettings::reads()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QVERIFY(TestEnv::writeFile(TestEnv::settingsFile(), file));
    QTEST(SettingsStore::read("ORVA", section, key, "<absent>"), "value");
}

// A save changes its key's line, or adds one, and no other byte.
void TstSettings::saves_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QByteArray>("after");

    // Comments, damaged lines, other bytes and the letter case of names as
    // they stay around a changed line: see the start-up test's hand-edited file.
    const QString s = "StartUP", p = "Ports";
    QTest::newRow("same value: untouched") << kHandEdited << s << "ADRESS"
                                           << "A001" << true << kHandEdited;
    QTest::newRow("stray quote kept")
        << QByteArray("[StartUP]\nBaudRate=96\"\n\n[Ports]\nCOM3=/dev/ttyUSB0\n") << s << "ADRESS"
        << "A001" << true
        << QByteArray("[StartUP]\nBaudRate=96\"\nADRESS=A001\n\n[Ports]\nCOM3=/dev/ttyUSB0\n");
    QTest::newRow("added after the last line of its section")
        << QByteArray("[StartUP]\nComPort=3\n; end\n\n\n[Ports]\n") << s << "ADRESS"
        << "A002" << true << QByteArray("[StartUP]\nComPort=3\n; end\nADRESS=A002\n\n\n[Ports]\n");
    QTest::newRow("empty section") << QByteArray("[StartUP]\n[Ports]\n") << s << "ADRESS"
                                   << "" << true << QByteArray("[StartUP]\nADRESS=\n[Ports]\n");
    QTest::newRow("section added at the end")
        << QByteArray("[StartUP]\nComPort=3\n") << p << "COM3"
        << "/dev/ttyUSB0" << true
        << QByteArray("[StartUP]\nComPort=3\n\n[Ports]\nCOM3=/dev/ttyUSB0\n");
    QTest::newRow("section after a blank last line")
        << QByteArray("; mine\n\n") << s << "ADRESS"
        << "A001" << true << QByteArray("; mine\n\n[StartUP]\nADRESS=A001\n");
    QTest::newRow("CRLF added line")
        << QByteArray("[StartUP]\r\nComPort=3\r\n") << s << "ADRESS"
        << "A002" << true << QByteArray("[StartUP]\r\nComPort=3\r\nADRESS=A002\r\n");
    QTest::newRow("CRLF added section")
        << QByteArray("[Ports]\r\nCOM3=/dev/x\r\n") << s << "ADRESS"
        << "A002" << true
        << QByteArray("[Ports]\r\nCOM3=/dev/x\r\n\r\n[StartUP]\r\nADRESS=A002\r\n");
    QTest::newRow("no final newline added line")
        << QByteArray("[StartUP]\nComPort=3") << s << "ADRESS"
        << "A002" << true << QByteArray("[StartUP]\nComPort=3\nADRESS=A002");
    QTest::newRow("no final newline added section")
        << QByteArray("[Ports]\nCOM3=/dev/x") << s << "ADRESS"
        << "A002" << true << QByteArray("[Ports]\nCOM3=/dev/x\n\n[StartUP]\nADRESS=A002\n");
    QTest::newRow("key in the second of two sections")
        << QByteArray("[StartUP]\nComPort=3\n[StartUP]\nADRESS=A001\n") << s << "ADRESS"
        << "A002" << true << QByteArray("[StartUP]\nComPort=3\n[StartUP]\nADRESS=A002\n");
    QTest::newRow("new key goes to the first of two sections")
        << QByteArray("[StartUP]\nComPort=3\n[StartUP]\nBaudRate=96\n") << s << "ADRESS"
        << "A002" << true
        << QByteArray("[StartUP]\nComPort=3\nADRESS=A002\n[StartUP]\nBaudRate=96\n");
    QTest::newRow("first of two keys changed")
        << QByteArray("[StartUP]\nADRESS=A001\nadress=A003\n") << s << "ADRESS"
        << "A002" << true << QByteArray("[StartUP]\nADRESS=A002\nadress=A003\n");
    QTest::newRow("quotes replaced") << QByteArray("[StartUP]\nADRESS=\"A001\"\n") << s << "ADRESS"
                                     << "A002" << true << QByteArray("[StartUP]\nADRESS=A002\n");
    QTest::newRow("= inside the value")
        << QByteArray("[Ports]\nCOM5=a\n") << p << "COM5"
        << "tcp://h:1?a=b" << true << QByteArray("[Ports]\nCOM5=tcp://h:1?a=b\n");
    QTest::newRow("surrounding blanks quoted")
        << QByteArray("[StartUP]\nADRESS=\n") << s << "ADRESS"
        << " A002" << true << QByteArray("[StartUP]\nADRESS=\" A002\"\n");
    QTest::newRow("enclosing quotes quoted")
        << QByteArray() << s << "ADRESS"
        << "\"A\"" << true << QByteArray("[StartUP]\nADRESS=\"\"A\"\"\n");
    QTest::newRow("empty file") << QByteArray() << s << "ADRESS"
                                << "A001" << true << QByteArray("[StartUP]\nADRESS=A001\n");
    QTest::newRow("byte order mark kept")
        << QByteArray("\xEF\xBB\xBF[StartUP]\nADRESS=A001\n") << s << "ADRESS"
        << "A002" << true << QByteArray("\xEF\xBB\xBF[StartUP]\nADRESS=A002\n");
    static const char raw[] = "\xff\xfe[StartUP\nComPort=3\n=\n[[x]\n\x01\x02\0";
    const QByteArray garbage(raw, sizeof raw - 1);
    QTest::newRow("binary garbage kept")
        << garbage << s << "ADRESS"
        << "A001" << true << garbage + "\n\n[StartUP]\nADRESS=A001\n";
    QTest::newRow("line break in a value refused") << kHandEdited << s << "ADRESS"
                                                   << "A001\n[Ports]" << false << kHandEdited;
}

void TstSettings::saves()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, saved);
    const QString file = TestEnv::settingsFile();
    QVERIFY(TestEnv::writeFile(file, before));
    QCOMPARE(SettingsStore::save("ORVA", section, key, value), saved);
    QTEST(TestEnv::fileBytes(file), "after");
    if (saved)
        QCOMPARE(SettingsStore::read("ORVA", section, key, "<absent>"), value);
}

// The file is not a plain, writable file of the user's.
void TstSettings::faults_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QString>("read");      // ADRESS as start-up reads it afterwards
    QTest::addColumn<bool>("unprivileged"); // permissions must hold

    QTest::newRow("symlink") << "symlink" << true << "A002" << false;
    QTest::newRow("symlink to a symlink") << "chain" << true << "A002" << false;
    QTest::newRow("symlink loop") << "loop" << false << "<absent>" << false;
    QTest::newRow("dangling symlink") << "dangling" << false << "<absent>" << false;
    QTest::newRow("directory in its place") << "directory" << false << "<absent>" << false;
    QTest::newRow("permissions kept") << "mode 640" << true << "A002" << false;
    QTest::newRow("read-only file") << "mode 444" << false << "A001" << true;
    QTest::newRow("no read permission") << "mode 200" << false << "<absent>" << true;
    QTest::newRow("read-only folder") << "read-only folder" << false << "A001" << true;
    QTest::newRow("named pipe") << "fifo" << false << "<absent>" << false;
    QTest::newRow("symlink to a named pipe") << "link to fifo" << false << "<absent>" << false;
    QTest::newRow("symlink to a null device") << "link to device" << false << "<absent>" << false;
    QTest::newRow("above 64 MB") << "above 64 MB" << false << "<absent>" << false;
    QTest::newRow("owner kept when root saves") << "owned by nobody" << true << "A002" << false;
}

void TstSettings::faults()
{
    QFETCH(QString, kind);
    QFETCH(bool, saved);
    QFETCH(bool, unprivileged);

    if (unprivileged && TestEnv::permissionsIgnored())
        ORVA_VERDICT_AS_UNPRIVILEGED();

    const QString file = TestEnv::settingsFile();
    const QString folder = QFileInfo(file).absolutePath();
    const QString real = folder + "/dotfiles/ORVA.ini";
    QVERIFY(QDir().mkpath(folder + "/dotfiles"));
    const QByteArray original = kHandEdited;
    QString kept = file; // the path whose bytes a failed save must leave alone
    if (kind == "symlink" || kind == "chain") {
        QVERIFY(TestEnv::writeFile(real, original));
        if (kind == "chain") {
            QVERIFY(QFile::link(real, folder + "/dotfiles/link.ini"));
            QVERIFY(QFile::link(folder + "/dotfiles/link.ini", file));
        } else {
            QVERIFY(QFile::link(real, file));
        }
        kept = real;
    } else if (kind == "loop") {
        QVERIFY(QFile::link(folder + "/dotfiles/other.ini", file));
        QVERIFY(QFile::link(file, folder + "/dotfiles/other.ini"));
    } else if (kind == "dangling") {
        QVERIFY(QFile::link(real, file));
    } else if (kind == "directory") {
        QVERIFY(QDir().mkpath(file));
    } else if (kind.startsWith("mode ")) {
        QVERIFY(TestEnv::writeFile(file, original));
        QVERIFY(::chmod(QFile::encodeName(file), kind.mid(5).toUInt(nullptr, 8)) == 0);
    } else if (kind == "read-only folder") {
        QVERIFY(TestEnv::writeFile(file, original));
        QVERIFY(::chmod(QFile::encodeName(folder), 0555) == 0);
    } else if (kind.endsWith("fifo")) {
        QVERIFY(::mkfifo(QFile::encodeName(kind == "fifo" ? file : real), 0600) == 0);
        QVERIFY(kind == "fifo" || QFile::link(real, file));
    } else if (kind == "link to device") {
        // Root gets a null device of its own, so that a fault cannot replace the system's.
        const bool made = ::mknod(QFile::encodeName(real), S_IFCHR | 0666, makedev(1, 3)) == 0;
        QVERIFY(QFile::link(made ? real : "/dev/null", file));
    } else if (kind == "above 64 MB") {
        QVERIFY(TestEnv::writeFile(file, original));
        QVERIFY(::truncate(QFile::encodeName(file), 64 * 1024 * 1024 + 1) == 0); // sparse
    } else if (kind == "owned by nobody") {
        if (!TestEnv::permissionsIgnored())
            QSKIP("only root saves a file that another user owns");
        QVERIFY(TestEnv::writeFile(file, original));
        QVERIFY(::chown(QFile::encodeName(file), 65534, 65534) == 0);
    }
    const QFileInfo link(file);
    const QString linkTarget = link.symLinkTarget();
    const bool realThere = QFileInfo::exists(real);
    struct stat was = {}, is = {};
    const bool there = ::stat(QFile::encodeName(file), &was) == 0;

    // A store that waits on the file ends the run with the reason instead of hanging it.
    std::signal(SIGALRM, [](int) {
        static const char why[] = "FAIL!  : TstSettings::faults() the store waits on its file\n";
        (void)!::write(2, why, sizeof why - 1);
        ::_exit(1);
    });
    ::alarm(10);
    const auto noAlarm = qScopeGuard([] { ::alarm(0); });
    QCOMPARE(SettingsStore::save("ORVA", "StartUP", "ADRESS", "A002"), saved);
    QTEST(SettingsStore::read("ORVA", "StartUP", "ADRESS", "<absent>"), "read");

    // What a save did not write is as it was; a link stays a link.
    QCOMPARE(QFileInfo(file).isSymLink(), link.isSymLink());
    QCOMPARE(QFileInfo(file).symLinkTarget(), linkTarget);
    QCOMPARE(QFileInfo::exists(real), realThere);
    QCOMPARE(::stat(QFile::encodeName(file), &is) == 0, there);
    QVERIFY2(is.st_mode == was.st_mode && is.st_uid == was.st_uid && is.st_gid == was.st_gid,
             "the file's kind, mode, owner or group changed");
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    struct stat st = {};
    if (kind.startsWith("mode ")) {
        QVERIFY(::stat(QFile::encodeName(file), &st) == 0);
        QCOMPARE(uint(st.st_mode & 07777), kind.mid(5).toUInt(nullptr, 8));
    }
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    QByteArray expected = original;
    if (saved)
        expected.replace("ADRESS=A001", "ADRESS=A002");
    if (kind == "above 64 MB")
        QCOMPARE(QFileInfo(kept).size(), 64 * 1024 * 1024 + 1);
    else if (QFileInfo(kept).isFile())
        QCOMPARE(TestEnv::fileBytes(kept), expected);
    for (const QString &dir : {folder, folder + "/dotfiles"})
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden).filter("ORVA.ini."),
                 QStringList());
}

// A file that is not saved or read is reported once in the run, with its reason.
void TstSettings::faultToldOnce_data()
{
    QTest::addColumn<QString>("said");

    QTest::newRow("loop")
        << "ORVA: settings not saved: <file> is part of a loop of symbolic links\n";
    QTest::newRow("fifo")
        << "ORVA: settings ignored: <file> is a named pipe (FIFO), not a regular file\n";
    QTest::newRow("big") << "ORVA: settings ignored: <file> is larger than 64 MB\n";
}

void TstSettings::faultToldOnce()
{
    const QString file = TestEnv::settingsFile();
    if (qEnvironmentVariableIsSet("ORVA_TEST_LINK_CHILD")) {
        const QByteArray tag = QTest::currentDataTag();
        QVERIFY(tag != "loop" || QFile::link(file, file)); // a loop of one
        QVERIFY(tag != "fifo" || ::mkfifo(QFile::encodeName(file), 0600) == 0);
        QVERIFY(tag != "big"
                || (TestEnv::writeFile(file, "")
                    && ::truncate(QFile::encodeName(file), 67108865) == 0));
        for (const char *key : {"ADRESS", "ComPort"}) {
            SettingsStore::readStartUp(key, "");
            QVERIFY(!SettingsStore::save("ORVA", "StartUP", key, "3"));
        }
        return;
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORVA_TEST_LINK_CHILD", "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QString("faultToldOnce:") + QTest::currentDataTag()});
    QVERIFY2(child.waitForFinished(10000), "the settings store waits on its file");
    QCOMPARE(child.exitCode(), 0);
    const QString said = QString::fromLocal8Bit(child.readAllStandardError());
    QTEST(QString(said).replace(QRegularExpression(" /\\S*/ORVA.ini"), " <file>"), "said");
}

void TstSettings::venue_data()
{
    // DIR holds a device "ttyUSB0" and its link "by-id/usb-FTDI". Each
    // projector read: "name|port|device|address|prefix|baud" or "name: reason".
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
        {"A: \"adress\" is not a key: use address, baud, pjlink or pjlink-password",
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
    row("network hosts in any case, by either scheme, are one line; a bad line holds none",
        "[Projectors]\nA=tcp://Host:1, baud=4800\nB=tcp://Host:1\nC=tcp://host:1\n"
        "D=rfc2217://host:1, address=002\n",
        {"A: the baud rate \"4800\" is not 9600 or 19200", "B|tcp://Host:1|tcp://Host:1|||9600",
         "C: shares its line with \"B\", and neither has an address",
         "D: shares its line with \"B\", which reaches it as tcp://Host:1"});
    row("PJLink ports and passwords",
        "[Projectors]\nA=/dev/ttyS0, pjlink=4352, pjlink-password=JBMIA!x\nB=/dev/ttyS1, "
        "pjlink=4352\nC=/dev/ttyS2, pjlink=0\nD=/dev/ttyS3, pjlink=65536\nE=/dev/ttyS4, "
        "pjlink-password=a b\nF=/dev/ttyS5, pjlink=+4353\nG=/dev/ttyS6, pjlink=65535\n",
        {"A|/dev/ttyS0|/dev/ttyS0|||9600|pjlink 4352 JBMIA!x",
         "B: the PJLink port 4352 is already \"A\"'s",
         "C: the PJLink port \"0\" is not a number from 1 to 65535",
         "D: the PJLink port \"65536\" is not a number from 1 to 65535",
         "E: the PJLink password must be 1 to 32 printable ASCII characters without blanks",
         "F: the PJLink port \"+4353\" is not a number from 1 to 65535",
         "G|/dev/ttyS6|/dev/ttyS6|||9600|pjlink 65535 "});
}

void TstSettings::venue()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, read);
    QTemporaryDir dir;
    QVERIFY(TestEnv::writeFile(dir.filePath("ttyUSB0"), {}) && QDir(dir.path()).mkdir("by-id"));
    QVERIFY(QFile::link(dir.filePath("ttyUSB0"), dir.filePath("by-id/usb-FTDI")));
    QVERIFY(TestEnv::writeFile(TestEnv::settingsFile(), file.replace("DIR", dir.path().toUtf8())));
    QStringList seen;
    for (const VenueProjector &p : Venue::read()) {
        const QString baud = p.baudCode == Projector::Baud9600 ? "9600" : "19200";
        const QString pjlink =
            p.pjlinkPort ? QString("|pjlink %1 %2").arg(p.pjlinkPort).arg(p.pjlinkPassword) : "";
        seen << (p.usable()
                     ? QStringList{p.name, p.port, p.device, p.address, p.prefix, baud}.join('|')
                           + pjlink
                     : p.name + ": " + p.error);
    }
    QCOMPARE(seen, read.replaceInStrings("DIR", dir.path()));
}

void TstSettings::cleanup()
{
    const QString file = TestEnv::settingsFile();
    const QString folder = QFileInfo(file).absolutePath();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (QFileInfo(file).isDir() && !QFileInfo(file).isSymLink())
        QDir(file).removeRecursively();
    QFile::remove(file);
    QDir(folder + "/dotfiles").removeRecursively();
}

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
