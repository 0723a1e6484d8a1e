#include "testenv.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

namespace TestEnv {

namespace {
QTemporaryDir *folder()
{
    static QTemporaryDir dir;
    return &dir;
}
QSettings store()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ORVA"));
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
    QSettings s = store();
    s.clear();
    s.sync();
}

void seed(const QList<std::pair<QString, QString>> &keys)
{
    QSettings s = store();
    s.clear();
    for (const auto &[key, value] : keys)
        s.setValue(key, value);
    s.sync();
}

QString stored(const QString &sectionKey, const QString &absent)
{
    QSettings s = store();
    return s.value(sectionKey, absent).toString();
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
