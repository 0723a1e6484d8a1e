#include "common/testenv.h"

#include "store/settingsstore.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <unistd.h>

namespace TestEnv {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

namespace {
QTemporaryDir *folder()
{
    static QTemporaryDir dir;
    return &dir;
}
// "Section/Key" as its two parts.
std::pair<QString, QString> split(const QString &sectionKey)
{
    const qsizetype slash = sectionKey.indexOf(QLatin1Char('/'));
    return {sectionKey.left(slash), sectionKey.mid(slash + 1)};
}
} // namespace

void usePrivateSettings()
{
    qputenv("XDG_CONFIG_HOME", folder()->path().toLocal8Bit());
}

QString settingsFile()
{
    return folder()->path() + QStringLiteral("/ORVA.ini");
}

void clearStore()
{
    QFile::remove(settingsFile());
}

void seed(const QList<std::pair<QString, QString>> &keys)
{
    clearStore();
    for (const auto &[sectionKey, value] : keys) {
        const auto [section, key] = split(sectionKey);
        SettingsStore::save(QStringLiteral("ORVA"), section, key, value);
    }
}

QString stored(const QString &sectionKey, const QString &absent)
{
    const auto [section, key] = split(sectionKey);
    return SettingsStore::read(QStringLiteral("ORVA"), section, key, absent);
}

int runUnprivileged(QString *output, const QList<std::pair<QString, QString>> &environment)
{
    const QString testCase = QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char(':')
                             + QString::fromLatin1(QTest::currentDataTag());
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty())
        return -1;
    // The build folder may lie where that user cannot reach: run a copy.
    QTemporaryDir dir;
    const QString copy =
        dir.filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    if (!QFile::copy(QCoreApplication::applicationFilePath(), copy))
        return -1;
    const auto everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                          | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(dir.path(), everyone);
    QFile::setPermissions(copy, everyone);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    for (const auto &[name, value] : environment)
        env.insert(name, value);
    QProcess child;
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(dir.path());
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                          QStringLiteral("--clear-groups"), QStringLiteral("--"), copy, testCase});
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        return -1;
    }
    *output = QString::fromLocal8Bit(child.readAll());
    if (child.exitStatus() != QProcess::NormalExit || output->startsWith(QLatin1String("setpriv:")))
        return -1; // no change of user here
    return child.exitCode();
}

bool permissionsIgnored()
{
    return ::geteuid() == 0;
}

namespace {
// The modal windows that a test's answer is dealing with.
QList<QWidget *> &beingAnswered()
{
    static QList<QWidget *> widgets;
    return widgets;
}

// A modal window that no test answers would stop its test for good: after
// five seconds it fails the test, naming the window, and is closed.
void checkModalWindow()
{
    static QWidget *seen = nullptr;
    static QElapsedTimer since;
    QWidget *modal = qobject_cast<QApplication *>(QCoreApplication::instance())
                         ? QApplication::activeModalWidget()
                         : nullptr;
    if (modal != seen || beingAnswered().contains(modal)) {
        seen = modal;
        since.start();
        return;
    }
    if (!modal || since.elapsed() < 5000)
        return;
    QStringList texts{modal->metaObject()->className(), '"' + modal->windowTitle() + '"'};
    for (const QLabel *label : modal->findChildren<QLabel *>())
        texts << (label->isVisible() ? label->text() : QString());
    texts.removeAll(QString());
    QTest::qFail(qPrintable("a modal window that no test answers: " + texts.join(" | ")), __FILE__,
                 __LINE__);
    seen = nullptr;
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
    else
        modal->close();
}

void watchModalWindows()
{
    auto *watch = new QTimer(QCoreApplication::instance());
    QObject::connect(watch, &QTimer::timeout, &checkModalWindow);
    watch->start(250);
}
Q_COREAPP_STARTUP_FUNCTION(watchModalWindows)
} // namespace

void whenModal(std::function<void(QWidget *)> answer)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, answer]() {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            beingAnswered().append(modal);
            answer(modal);
            beingAnswered().removeOne(modal);
        }
    });
    poll->start();
}

bool showsTextAsWritten(const QLabel *label)
{
    QLabel plain;
    plain.setTextFormat(Qt::PlainText);
    plain.setText(label->text());
    plain.setFont(label->font());
    plain.setPalette(label->palette());
    plain.setAutoFillBackground(label->autoFillBackground());
    plain.setAlignment(label->alignment());
    plain.setIndent(label->indent());
    plain.setMargin(label->margin());
    plain.setWordWrap(label->wordWrap());
    plain.setFrameShape(label->frameShape());
    plain.setFrameShadow(label->frameShadow());
    plain.setLineWidth(label->lineWidth());
    plain.setMidLineWidth(label->midLineWidth());
    plain.setContentsMargins(label->contentsMargins());
    plain.resize(label->size());
    return plain.grab().toImage() == const_cast<QLabel *>(label)->grab().toImage();
}

} // namespace TestEnv
