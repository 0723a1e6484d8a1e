// The program's command line, run as a separate process on a machine without
// a display: --help and --version answer and end; anything else is refused
// with status 2 before a window or a port is touched.
#include "common/testenv.h"

#include <QProcess>
#include <QTest>

class TstCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void answers_data();
    void answers();
};

void TstCommandLine::answers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out"); // expected in standard output
    QTest::addColumn<QString>("err"); // expected in standard error

    const QString version = QStringLiteral("orva " ORVA_VERSION "\n");
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "--version"
                            << "";
    QTest::newRow("-h") << QStringList{"-h"} << 0 << "Usage:"
                        << "";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << version << "";
    QTest::newRow("-v") << QStringList{"-v"} << 0 << version << "";
    QTest::newRow("unknown option") << QStringList{"--port=3"} << 2 << ""
                                    << "Unknown option 'port'";
    QTest::newRow("unknown short option") << QStringList{"-x"} << 2 << ""
                                          << "Unknown option 'x'";
    QTest::newRow("toolkit option") << QStringList{"-platform", "xcb"} << 2 << ""
                                    << "Unknown option";
    QTest::newRow("the toolkit's full help") << QStringList{"--help-all"} << 2 << ""
                                             << "--help";
    QTest::newRow("argument") << QStringList{"COM1"} << 2 << ""
                              << "Unexpected argument 'COM1'";
    QTest::newRow("help and an unknown option") << QStringList{"--help", "--bogus"} << 2 << ""
                                                << "Usage:";
}

void TstCommandLine::answers()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);

    // No display at all: a window, had one been made, would end the program
    // with another status.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess orva;
    orva.setProcessEnvironment(env);
    orva.start(QStringLiteral(ORVA_PROGRAM), arguments);
    QVERIFY(orva.waitForFinished(30000));
    const QString stdOut = QString::fromLocal8Bit(orva.readAllStandardOutput());
    const QString stdErr = QString::fromLocal8Bit(orva.readAllStandardError());
    QCOMPARE(orva.exitStatus(), QProcess::NormalExit);
    QCOMPARE(orva.exitCode(), status);
    if (status == 0) {
        QVERIFY2(stdOut.contains(out), qPrintable(stdOut));
        QCOMPARE(stdErr, QString());
    } else {
        // A short error on standard error, the help after it; nothing on
        // standard output that a script might take for an answer.
        QCOMPARE(stdOut, QString());
        QVERIFY2(stdErr.startsWith(QStringLiteral("orva: ")), qPrintable(stdErr));
        QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
        QVERIFY2(stdErr.contains(QStringLiteral("--version")), qPrintable(stdErr));
    }
    if (arguments == QStringList{QStringLiteral("--version")})
        QCOMPARE(stdOut, out);
}

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_commandline.moc"
