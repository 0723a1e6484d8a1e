#include "settingsstore.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TstSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void init() { TestEnv::clearStore(); }
    void numbers_data();
    void numbers();
    void roundTripAndDefaults();
    void brokenFileIsKeptAside();
    void unwritableStoreReportsFailure();
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

// A file the store cannot parse is not silently cut down to what it could
// read: the original stays beside the rewritten one.
void TstSettings::brokenFileIsKeptAside()
{
    const QString file = TestEnv::settingsFile();
    QByteArray garbage("\xff\xfe[StartUP\nComPort=3\n=\n[[x]\n\x01\x02", 27);
    for (int i = 0; i < 64; ++i)
        garbage += char(i * 37);
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(garbage);
    }
    (void)SettingsStore::read("ORVA", "StartUP", "ComPort", "DATAC"); // must not throw or hang
    QVERIFY(SettingsStore::save("ORVA", "StartUP", "ADRESS", "A001"));
    QFile kept(file + ".broken");
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), garbage);
    QCOMPARE(SettingsStore::read("ORVA", "StartUP", "ADRESS", "DATAD"), QStringLiteral("A001"));
    QFile::remove(file + ".broken");
}

void TstSettings::unwritableStoreReportsFailure()
{
    // A folder where the file should be: nothing can be read or written.
    const QString file = TestEnv::settingsFile();
    QFile::remove(file);
    QVERIFY(QDir().mkpath(file));
    QCOMPARE(SettingsStore::read("ORVA", "StartUP", "ComPort", "DATAC"), QStringLiteral("DATAC"));
    QVERIFY(!SettingsStore::save("ORVA", "StartUP", "ADRESS", "A001"));
    QVERIFY(QDir(file).removeRecursively());
}

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
