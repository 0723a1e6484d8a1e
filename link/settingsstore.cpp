#include "settingsstore.h"

#include <QFile>
#include <QSettings>

#include <cmath>

namespace {

QSettings openStore(const QString &application)
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, application);
}

QString path(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}

} // namespace

namespace SettingsStore {

QString read(const QString &application, const QString &section, const QString &key,
             const QString &defaultText)
{
    QSettings store = openStore(application);
    const QVariant value = store.value(path(section, key));
    if (!value.isValid())
        return defaultText;
    // A key written by hand as a list ("a, b") comes back as a list; read it
    // back as the text it was.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

bool save(const QString &application, const QString &section, const QString &key,
          const QString &text)
{
    QSettings store = openStore(application);
    (void)store.allKeys(); // parses the file, so that a broken one shows in status()
    const bool broken = store.status() == QSettings::FormatError;
    if (broken) {
        // Writing would replace the file with the part that could be read;
        // keep the original beside it so nothing the user wrote is lost.
        const QString keep = store.fileName() + QStringLiteral(".broken");
        QFile::remove(keep);
        if (!QFile::copy(store.fileName(), keep))
            return false;
    } else if (store.status() != QSettings::NoError) {
        return false;
    }
    store.setValue(path(section, key), text);
    store.sync();
    // The parse error stays in status() after a successful rewrite.
    return store.status() == QSettings::NoError
           || (broken && store.status() == QSettings::FormatError);
}

QString fileName(const QString &application)
{
    return openStore(application).fileName();
}

QString readStartUp(const QString &key, const QString &defaultText)
{
    return read(QString::fromLatin1(kApplication), QString::fromLatin1(kStartUp), key,
                defaultText);
}

bool saveStartUp(const QString &key, const QString &text)
{
    return save(QString::fromLatin1(kApplication), QString::fromLatin1(kStartUp), key, text);
}

} // namespace SettingsStore

double leadingNumber(const QString &text)
{
    int i = 0;
    const int n = int(text.size());
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    const int start = i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    bool digits = false;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
        ++i;
        digits = true;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && text[i].unicode() < 128 && text[i].isDigit()) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    int end = i;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        int j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            ++j;
        if (j < n && text[j].unicode() < 128 && text[j].isDigit()) {
            while (j < n && text[j].unicode() < 128 && text[j].isDigit())
                ++j;
            end = j;
        }
    }
    bool ok = false;
    const double value = text.mid(start, end - start).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

qint16 portNumberFromText(const QString &text)
{
    const double rounded = std::nearbyint(leadingNumber(text)); // ties to even
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        return 0;
    return qint16(rounded);
}

quint8 baudCodeFromText(const QString &text)
{
    return std::nearbyint(leadingNumber(text)) == 96.0 ? 96 : 192;
}
