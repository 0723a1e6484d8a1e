#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Per-user persisted texts, addressed by application, section and key.
// Backed by an INI file in the user's configuration folder
// ($XDG_CONFIG_HOME/<application>.ini on Linux) that is partly the user's:
// a save changes only its key's line and keeps every other byte. Writes are
// atomic (temporary file, then rename) and go through a symlink to its target,
// keeping the file's permissions, owner and group. Only a regular file of at
// most kMaxFileSize bytes is read or written; anything else (a named pipe, a
// device, a folder) reads as empty and is left alone, and standard error says
// why, once in the run of the program.
namespace SettingsStore {

inline constexpr qsizetype kMaxFileSize = 64 * 1024 * 1024;

inline constexpr const char *kApplication = "ORVA";
inline constexpr const char *kStartUp = "StartUP";
inline constexpr const char *kPorts = "Ports";

// The stored text, or |defaultText| when the key is absent or the file
// cannot be read.
QString read(const QString &application, const QString &section, const QString &key,
             const QString &defaultText);

// The stored texts of several |keys| of one section, from one reading of the
// file, in the order of |keys|; each absent one is |defaultText|.
QStringList read(const QString &application, const QString &section, const QStringList &keys,
                 const QString &defaultText);

// Stores |text|. Returns false when the file could not be written (it is
// then left exactly as it was); the caller's run goes on either way.
bool save(const QString &application, const QString &section, const QString &key,
          const QString &text);

// Full path of the file that holds |application|'s settings.
QString fileName(const QString &application);

// The whole file as read() reads it; empty when it is absent or cannot be
// read.
QByteArray readFile(const QString &application);

// The program's own keys: application "ORVA", section "StartUP".
QString readStartUp(const QString &key, const QString &defaultText);
bool saveStartUp(const QString &key, const QString &text);

} // namespace SettingsStore

// The INI text itself, bytes in and bytes out, with no file involved.
//
// Lines end at LF; a CR before it belongs to the line's ending. A line whose
// first non-blank character is '[' and that holds a ']' starts a section named
// by the text between them. Any other line with an '=' is a key: its name is
// the text before the first '=', its value the text after it; both lose their
// surrounding blanks, and the value loses one pair of double quotes that
// encloses all of it. Lines without '=' (comments, damaged lines) are skipped.
// Section and key names compare without regard to ASCII letter case. Sections
// of the same name count as one; the first line naming the key wins.
namespace IniText {

// The value of |key| in |section|, or nothing when no line names it.
std::optional<QByteArray> lookup(QByteArrayView file, QByteArrayView section, QByteArrayView key);

// Every key line of |section| in file order, a name given twice as often as
// it is written, each with the value that lookup() would read from its line.
struct Entry {
    QByteArray name;
    QByteArray value;
};
QList<Entry> entries(QByteArrayView file, QByteArrayView section);

// Saving one key is one replacement in the file: |removed| bytes at |at| give
// way to |inserted|.
struct Edit {
    qsizetype at = 0;
    qsizetype removed = 0;
    QByteArray inserted;

    bool changes(QByteArrayView file) const;
    QByteArray applied(QByteArrayView file) const;
};

// The edit that sets |key| in |section| to |value|: the line that lookup() reads
// gets the new value; otherwise a line is added after the last non-blank line
// of the first such section, or the section is added at the end of the file.
// Every other byte stays as it was. A value with surrounding blanks, or one
// that is itself enclosed in quotes, is written in quotes so that it reads
// back unchanged. Nothing when the name or value cannot be written as one
// line (a line break in it, an '=' or ']' in a name, blanks around a name).
std::optional<Edit> edit(QByteArrayView file, QByteArrayView section, QByteArrayView key,
                         QByteArrayView value);

// |file| with that edit made.
std::optional<QByteArray> setValue(QByteArrayView file, QByteArrayView section, QByteArrayView key,
                                   QByteArrayView value);

// A stored value as text: UTF-8 when it is valid UTF-8, otherwise one
// character per byte (Latin-1), so that no byte is lost.
QString decode(QByteArrayView value);

} // namespace IniText

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
