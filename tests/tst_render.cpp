#include "protocol/render.h"

#include <QTest>

using namespace Render;

class TstRender : public QObject
{
    Q_OBJECT

private slots:
    void marks_data();
    void marks();
    void everyByteHasAMark();
    void incrementalEqualsWhole();
};

void TstRender::marks_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("rendered");
    QTest::addColumn<unsigned>("legends");

    auto s = [](const char *bytes, int n = -1) {
        return QString::fromLatin1(bytes, n < 0 ? int(qstrlen(bytes)) : n);
    };
    QTest::newRow("empty") << QString() << s(" ") << unsigned(NoLegend);
    QTest::newRow("command") << s("C00\r") << s(" C 0 0  [CR] ") << unsigned(CrLegend);
    QTest::newRow("reply") << s("00\r") << s(" 0 0  [CR] ") << unsigned(CrLegend);
    QTest::newRow("ack alone") << s("\x06") << s("  [ACK] ") << unsigned(AckLegend);
    QTest::newRow("lf") << s("\n") << s("  [LF]  ") << unsigned(NoLegend);
    QTest::newRow("blank") << s("A B") << s(" A _ B ") << unsigned(SpaceLegend);
    QTest::newRow("underscore and question mark look like blank and unprintable")
        << s("_?") << s(" _ ? ") << unsigned(NoLegend);
    QTest::newRow("first and last printable") << s("!z") << s(" ! z ") << unsigned(NoLegend);
    QTest::newRow("brace, tilde, DEL") << s("{~\x7f") << s(" ? ? ? ") << unsigned(NoLegend);
    QTest::newRow("NUL and other controls")
        << s("\0\x01\x1f\t", 4) << s(" ? ? ? ? ") << unsigned(NoLegend);
    QTest::newRow("beyond ASCII") << QString(QChar(0xE9)) + QChar(0xFF) << s(" ? ? ")
                                  << unsigned(NoLegend);
    QTest::newRow("all three legends")
        << s("\x06 1\r") << s("  [ACK] _ 1  [CR] ") << unsigned(AckLegend | CrLegend | SpaceLegend);
    QTest::newRow("addressed command")
        << s("A001C00\r") << s(" A 0 0 1 C 0 0  [CR] ") << unsigned(CrLegend);
}

void TstRender::marks()
{
    QFETCH(QString, source);
    QFETCH(QString, rendered);
    QFETCH(unsigned, legends);
    Legends found = NoLegend;
    QCOMPARE(render(source, &found), rendered);
    QCOMPARE(found, legends);
}

// Every byte the line can deliver maps to a mark of the right width, and
// ordinary characters keep the 2k position rule the decoders rely on.
void TstRender::everyByteHasAMark()
{
    for (int code = 0; code < 256; ++code) {
        const QString one{QChar(char16_t(code))};
        const QString out = render(one);
        const int expected = code == 6 || code == 10 ? 8 : code == 13 ? 7 : 3;
        QVERIFY2(out.size() == expected, qPrintable(QStringLiteral("code %1").arg(code)));
        if (code >= 33 && code <= 122)
            QCOMPARE(out.at(1), QChar(char16_t(code)));
    }
}

void TstRender::incrementalEqualsWhole()
{
    const QString reply = QString::fromLatin1("\x06"
                                              "01 234\r\n"
                                              "{x}\x7f");
    for (int cut = 0; cut <= reply.size(); ++cut) {
        Incremental inc;
        Legends a = inc.append(QStringView(reply).left(cut));
        a |= inc.append(QStringView(reply).mid(cut));
        Legends whole = NoLegend;
        QCOMPARE(inc.text(), render(reply, &whole));
        QCOMPARE(a, whole);
        QCOMPARE(inc.sourceLength(), reply.size());
    }
}

QTEST_GUILESS_MAIN(TstRender)
#include "tst_render.moc"
