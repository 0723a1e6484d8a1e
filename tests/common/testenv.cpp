#include "testenv.h"

#include "settingsstore.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

namespace TestEnv {

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

} // namespace TestEnv
