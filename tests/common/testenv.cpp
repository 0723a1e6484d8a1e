#include "testenv.h"

#include "settingsstore.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
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

int runUnprivileged(const QString &testCase, QString *output)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORVA_TEST_CHILD"), QStringLiteral("1"));
    env.insert(QStringLiteral("HOME"), QDir::tempPath());
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                 QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                 testCase});
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit)
        return -1;
    *output = QString::fromLocal8Bit(child.readAll());
    if (output->startsWith(QLatin1String("setpriv:")))
        return -1; // no change of user here
    return child.exitCode();
}

bool isUnprivilegedChild()
{
    return qEnvironmentVariableIsSet("ORVA_TEST_CHILD");
}

bool permissionsIgnored()
{
    return ::geteuid() == 0;
}

void whenModal(std::function<void(QWidget *)> answer)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, answer]() {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            answer(modal);
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
