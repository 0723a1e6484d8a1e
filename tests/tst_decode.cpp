#include "protocol/decode.h"
#include "protocol/render.h"
#include "protocol/state.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <QTest>

namespace {
QString cr(const char *word)
{
    return QString::fromLatin1(word) + QLatin1Char('\r');
}
} // namespace

class TstDecode : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void lampTimeInParts();
};

void TstDecode::decode_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after"); // "<unchanged>" when the status keeps its text
    // The script's value as JSON; empty when the command is no state query.
    QTest::addColumn<QString>("value");

    const QString keep = QStringLiteral("<unchanged>");
    const QString old = QStringLiteral("old");
    auto row = [&](const char *name, const char *command, const QString &reply,
                   const QString &after, const char *value = "",
                   const QString &before = QStringLiteral("old")) {
        QTest::newRow(name) << (command ? cr(command) : QString()) << reply << before << after
                            << QString::fromLatin1(value);
    };
    auto r = [](const char *text) { return QString::fromLatin1(text); };

    // Status read: every pattern, and what is not one.
    row("CR0 00", "CR0", r("00\r"), r(" Power ON"), "\"on\"");
    row("CR0 80", "CR0", r("80\r"), r(" Stand by"), "\"standby\"");
    row("CR0 40", "CR0", r("40\r"), r(" Count down"), "\"countdown\"");
    row("CR0 20", "CR0", r("20\r"), r(" Cooling down"), "\"cooling\"");
    row("CR0 10", "CR0", r("10\r"), r(" Power abnormality"), "\"power-fault\"");
    for (const char *t : {"08", "18", "28", "48", "88"})
        row(qPrintable(QStringLiteral("CR0 %1").arg(QLatin1String(t))), "CR0",
            r(t) + QLatin1Char('\r'), r(" Temperature abnormality"), "\"temperature-fault\"");
    row("CR0 21", "CR0", r("21\r"), r(" Lamp Failure"), "\"lamp-fault\"");
    row("CR0 81", "CR0", r("81\r"), r(" Lamp Failure"), "\"lamp-fault\"");
    row("CR0 99", "CR0", r("99\r"), keep, "\"unknown\"");
    row("CR0 no reply", "CR0", QString(), keep, "null");
    row("CR0 first digit only", "CR0", r("0"), keep, "\"unknown\"");
    row("CR0 without CR still decodes", "CR0", r("00"), r(" Power ON"), "\"on\"");
    row("CR0 after ACK", "CR0",
        r("\x06"
          "00\r"),
        keep, "\"unknown\"");
    row("CR0 blank inside", "CR0", r("0 0\r"), keep, "\"unknown\"");
    // Input mode.
    row("CR1 1", "CR1", r("1\r"), r(" Input 1"), "\"1\"");
    row("CR1 2", "CR1", r("2\r"), r(" Input 2"), "\"2\"");
    row("CR1 3", "CR1", r("3\r"), r(" Input 3"), "\"3\"");
    row("CR1 4", "CR1", r("4\r"), r(" Wired"), "\"wired\"");
    row("CR1 5", "CR1", r("5\r"), r(" Wireless/Viewer"), "\"wireless\"");
    row("CR1 6", "CR1", r("6\r"), keep, "\"unknown\"");
    row("CR1 status reply is no input", "CR1", r("00\r"), keep, "\"unknown\"");
    // Setting.
    row("CR4 11", "CR4", r("11\r"), r(" Normally"));
    row("CR4 10", "CR4", r("10\r"), r(" Top/Bottom reversal"));
    row("CR4 01", "CR4", r("01\r"), r(" Left/Right reversal"));
    row("CR4 00", "CR4", r("00\r"), r(" Top/Bottom , Left/Right reversal"));
    row("CR4 02", "CR4", r("02\r"), keep);
    // Lamp time: six characters exactly, appended to what is shown.
    row("CR3 01234", "CR3", r("01234\r"), r("old   1 2 3 4   Hour Use"), "1234");
    row("CR3 after status words", "CR3", r("01234\r"), r(" Power ON   1 2 3 4   Hour Use"), "1234",
        r(" Power ON"));
    row("CR3 all zeros", "CR3", r("00000\r"), QString(12, QLatin1Char(' ')) + r(" Hour Use"), "0",
        QString());
    row("CR3 10203 keeps inner zeros", "CR3", r("10203\r"), r(" 1 0 2 0 3   Hour Use"), "10203",
        QString());
    row("CR3 five characters", "CR3", r("01234"), keep, "null");
    row("CR3 seven characters", "CR3", r("012345\r"), keep, "null");
    row("CR3 six with ACK", "CR3",
        r("\x06"
          "0123\r"),
        r("  [ACK] 0 1 2 3   Hour Use"), "null", QString());
    row("CR3 a letter is shown, not counted", "CR3", r("0123x\r"), r("   1 2 3 x   Hour Use"),
        "null", QString());
    row("CR3 six without CR", "CR3", r("012345"), r("   1 2 3 Hour Use"), "null", QString());
    // Temperature: eighteen characters exactly.
    row("CR6 three fields", "CR6", r("11111 22222 33333\r"),
        r(" 1 1 1 1 1 deg C 2 2 2 2 2 deg C 3 3 3 3 3 deg C "), "[11111,22222,33333]");
    row("CR6 degrees with a sign", "CR6", r("-05.5 +41.5 038.0\r"),
        r(" - 0 5 . 5 deg C + 4 1 . 5 deg C 0 3 8 . 0 deg C "), "[-5.5,41.5,38]");
    row("CR6 blank inside a field", "CR6", r("1 111 22222 33333\r"),
        r(" 1 _ 1 1 1 deg C 2 2 2 2 2 deg C 3 3 3 3 3 deg C "), "null");
    row("CR6 a letter in a field", "CR6", r("035.0 04x.5 038.0\r"),
        r(" 0 3 5 . 0 deg C 0 4 x . 5 deg C 0 3 8 . 0 deg C "), "null");
    row("CR6 two points", "CR6", r("035.0 41..5 038.0\r"),
        r(" 0 3 5 . 0 deg C 4 1 . . 5 deg C 0 3 8 . 0 deg C "), "null");
    row("CR6 seventeen", "CR6", r("11111 22222 3333\r"), keep, "null");
    row("CR6 nineteen", "CR6", r("11111 22222 333333\r"), keep, "null");
    // Lamp state and lamp mode, with the blank after the lamp count.
    row("LAMPSTS on", "CR LAMPSTS", r("000 1I\r"), r(" Lamp is ON"));
    row("LAMPSTS off", "CR LAMPSTS", r("000 1O\r"), r(" Lamp is OFF"));
    row("LAMPSTS failure", "CR LAMPSTS", r("000 1X\r"), r(" Lamp is failure"));
    row("LAMPSTS other", "CR LAMPSTS", r("000 1Z\r"), keep);
    row("LAMPMODE high", "CR LAMPMODE", r("000 HIGH\r"), r(" Lamp Mode is High"));
    row("LAMPMODE normal", "CR LAMPMODE", r("000 NORMAL\r"), r(" Lamp Mode is NORMAL"));
    row("LAMPMODE eco", "CR LAMPMODE", r("000 ECO\r"), r(" Lamp Mode is Eco"));
    row("LAMPMODE short reply", "CR LAMPMODE", r("0"), keep);
    // Commands that are not queries, or carry an address.
    row("with address", nullptr, r("00\r"), keep);
    QTest::newRow("addressed status query")
        << r("A001CR0\r") << r("00\r") << old << keep << QString();
    QTest::newRow("query without CR") << r("CR0") << r("00\r") << old << keep << QString();
    QTest::newRow("lower case query") << r("cr0\r") << r("00\r") << old << keep << QString();
    row("CR7 is shown only", "CR7", r("00\r"), keep);
    row("CR9 is shown only", "CR9", r("00\r"), keep);
    row("CRA is shown only", "CRA", r("00\r"), keep);
    row("power on is no query", "C00", r("00\r"), keep);
}

void TstDecode::decode()
{
    QFETCH(QString, command);
    QFETCH(QString, reply);
    QFETCH(QString, before);
    QFETCH(QString, after);
    const auto result = Decode::statusFor(command, reply.size(), Render::render(reply), before);
    QCOMPARE(result.value_or(QStringLiteral("<unchanged>")), after);

    // The script's value, from the reply as it came; a query is its word.
    QFETCH(QString, value);
    ProjectorState state;
    state.take(command.endsWith('\r') ? command.chopped(1) : QString(), reply);
    QString came; // the value that is not null, as JSON in brackets
    for (const QJsonValue &v : state.json()) {
        if (!v.isNull())
            came += QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    }
    if (value.isEmpty())
        QCOMPARE(state, ProjectorState{});
    else
        QCOMPARE(came, value == QLatin1String("null") ? QString() : '[' + value + ']');
}

// A lamp reply that comes in parts is decoded once, when exactly six
// characters have arrived; a seventh does not decode again.
void TstDecode::lampTimeInParts()
{
    const QString command = cr("CR3");
    QString status = QStringLiteral(" Power ON");
    int decodes = 0;
    QString buffer;
    for (const char *part : {"012", "34\r", "9"}) {
        buffer += QLatin1String(part);
        if (auto s = Decode::statusFor(command, buffer.size(), Render::render(buffer), status)) {
            status = *s;
            ++decodes;
        }
    }
    QCOMPARE(decodes, 1);
    QCOMPARE(status, QStringLiteral(" Power ON   1 2 3 4   Hour Use"));
}

QTEST_GUILESS_MAIN(TstDecode)
#include "tst_decode.moc"
