#pragma once

#include <QString>

// Per-user persisted texts, addressed by application, section and key.
// Backed by an INI file in the user's configuration folder
// ($XDG_CONFIG_HOME/<application>.ini on Linux); writes go through a lock
// file and an atomic replace, so a crash never leaves half a file behind.
namespace SettingsStore {

inline constexpr const char *kApplication = "ORVA";
inline constexpr const char *kStartUp = "StartUP";
inline constexpr const char *kPorts = "Ports";

// The stored text, or |defaultText| when the key is absent or the file
// cannot be read.
QString read(const QString &application, const QString &section, const QString &key,
             const QString &defaultText);

// Stores |text|. Returns false when the file could not be written; the
// caller's run goes on either way.
bool save(const QString &application, const QString &section, const QString &key,
          const QString &text);

// Full path of the file that holds |application|'s settings.
QString fileName(const QString &application);

// The program's own keys: application "ORVA", section "StartUP".
QString readStartUp(const QString &key, const QString &defaultText);
bool saveStartUp(const QString &key, const QString &text);

} // namespace SettingsStore

// Leading numeric value of a text: blanks are skipped, then an optional sign,
// digits, a decimal point and an exponent are read as far as they go. A text
// without a number reads as 0.
double leadingNumber(const QString &text);

// A stored port number as a 16-bit port field: the leading value rounded to
// the nearest integer (halves to even); values that do not fit read as 0,
// which is "no port chosen".
qint16 portNumberFromText(const QString &text);

// A stored baud text as the baud code: 96 when its leading value rounds to 96,
// otherwise 192.
quint8 baudCodeFromText(const QString &text);
