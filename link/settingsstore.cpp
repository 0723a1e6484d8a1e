#include "settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Blanks around names and values; a CR before the line's LF is one of them.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

bool sameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i]))
            return false;
    }
    return true;
}

// [begin, end) of the file.
struct Span {
    qsizetype begin = 0;
    qsizetype end = 0;
};

Span trimmed(QByteArrayView file, Span s)
{
    while (s.begin < s.end && isBlank(file[s.begin]))
        ++s.begin;
    while (s.end > s.begin && isBlank(file[s.end - 1]))
        --s.end;
    return s;
}

QByteArrayView view(QByteArrayView file, Span s)
{
    return file.sliced(s.begin, s.end - s.begin);
}

qsizetype find(QByteArrayView file, char c, qsizetype from, qsizetype to)
{
    const void *hit = std::memchr(file.data() + from, c, size_t(to - from));
    return hit ? static_cast<const char *>(hit) - file.data() : -1;
}

// One line: its text without the LF, and where the next line starts.
struct Line {
    Span text;
    qsizetype next = 0;
    bool hasLf() const { return next > text.end; }
};

class Lines
{
public:
    explicit Lines(QByteArrayView file)
        : m_file(file)
    {
        if (file.startsWith("\xEF\xBB\xBF")) // a byte order mark is not part of the first line
            m_pos = 3;
    }
    bool next(Line *line)
    {
        if (m_pos >= m_file.size())
            return false;
        const qsizetype lf = find(m_file, '\n', m_pos, m_file.size());
        line->text = {m_pos, lf < 0 ? m_file.size() : lf};
        line->next = lf < 0 ? m_file.size() : lf + 1;
        m_pos = line->next;
        return true;
    }

private:
    QByteArrayView m_file;
    qsizetype m_pos = 0;
};

struct Match {
    bool sectionSeen = false;
    Line lastOfSection;        // last non-blank line of the first such section
    std::optional<Span> value; // value of the first line naming the key
};

Match locate(QByteArrayView file, QByteArrayView section, QByteArrayView key)
{
    Match m;
    Lines lines(file);
    Line line;
    bool inSection = false;
    bool inFirst = false;
    while (lines.next(&line)) {
        const Span text = trimmed(file, line.text);
        if (text.begin == text.end)
            continue;
        if (file[text.begin] == '[') {
            const qsizetype close = find(file, ']', text.begin + 1, text.end);
            if (close >= 0) {
                inSection = sameName(view(file, trimmed(file, {text.begin + 1, close})), section);
                inFirst = inSection && !m.sectionSeen;
                if (inSection)
                    m.sectionSeen = true;
                if (inFirst)
                    m.lastOfSection = line;
                continue;
            }
        }
        if (!inSection)
            continue;
        if (inFirst)
            m.lastOfSection = line;
        const qsizetype equals = find(file, '=', text.begin, text.end);
        if (equals >= 0 && sameName(view(file, trimmed(file, {text.begin, equals})), key)) {
            m.value = trimmed(file, {equals + 1, text.end});
            return m;
        }
    }
    return m;
}

QByteArray unquoted(QByteArrayView value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.sliced(1, value.size() - 2);
    return value.toByteArray();
}

// The line ending of the file's first line, or the platform's for a file
// without one.
QByteArrayView lineEnding(QByteArrayView file)
{
    const qsizetype lf = file.indexOf('\n');
    if (lf > 0 && file[lf - 1] == '\r')
        return "\r\n";
    if (lf >= 0)
        return "\n";
#ifdef Q_OS_WIN
    return "\r\n";
#else
    return "\n";
#endif
}

bool writableName(QByteArrayView name)
{
    if (name.contains('\n') || name.contains('='))
        return false;
    return name.isEmpty() || (!isBlank(name.front()) && !isBlank(name.back()));
}

} // namespace

namespace IniText {

std::optional<QByteArray> lookup(QByteArrayView file, QByteArrayView section, QByteArrayView key)
{
    const Match m = locate(file, section, key);
    if (!m.value)
        return std::nullopt;
    return unquoted(view(file, *m.value));
}

std::optional<Edit> edit(QByteArrayView file, QByteArrayView section, QByteArrayView key,
                         QByteArrayView value)
{
    if (!writableName(section) || section.contains(']') || !writableName(key)
        || key.startsWith('[') || value.contains('\n'))
        return std::nullopt;

    QByteArray text;
    const bool quote = !value.isEmpty()
                       && (isBlank(value.front()) || isBlank(value.back())
                           || (value.size() >= 2 && value.front() == '"' && value.back() == '"'));
    text.reserve(value.size() + 2);
    if (quote)
        text += '"';
    text += value;
    if (quote)
        text += '"';

    const Match m = locate(file, section, key);
    if (m.value)
        return Edit{m.value->begin, m.value->end - m.value->begin, text};

    const QByteArrayView eol = lineEnding(file);
    const QByteArray entry = key.toByteArray() + '=' + text;
    if (m.sectionSeen) {
        const Line &after = m.lastOfSection;
        if (after.hasLf()) {
            // Keep the ending of the line the new one follows.
            const bool crlf = after.text.end > after.text.begin && file[after.text.end - 1] == '\r';
            return Edit{after.next, 0, entry + (crlf ? "\r\n" : "\n")};
        }
        // The section ends the file without a final line break: neither
        // does the new line.
        return Edit{file.size(), 0, eol.toByteArray() + entry};
    }

    QByteArray added;
    if (!file.isEmpty()) {
        if (!file.endsWith('\n'))
            added += eol;
        // One blank line between the last line and the new section.
        const qsizetype end = file.endsWith('\n') ? file.size() - 1 : file.size();
        const qsizetype start = file.lastIndexOf('\n', end - 1) + 1;
        if (trimmed(file, {start, end}).end > trimmed(file, {start, end}).begin)
            added += eol;
    }
    added += '[';
    added += section;
    added += ']';
    added += eol;
    added += entry;
    added += eol;
    return Edit{file.size(), 0, added};
}

bool Edit::changes(QByteArrayView file) const
{
    return file.sliced(at, removed) != QByteArrayView(inserted);
}

QByteArray Edit::applied(QByteArrayView file) const
{
    QByteArray out;
    out.reserve(file.size() - removed + inserted.size());
    out += file.first(at);
    out += inserted;
    out += file.sliced(at + removed);
    return out;
}

std::optional<QByteArray> setValue(QByteArrayView file, QByteArrayView section,
                                   QByteArrayView key, QByteArrayView value)
{
    const std::optional<Edit> e = edit(file, section, key, value);
    if (!e)
        return std::nullopt;
    return e->applied(file);
}

QString decode(QByteArrayView value)
{
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = utf8(value);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(value);
}

} // namespace IniText

namespace {

QString configFolder()
{
#ifdef Q_OS_WIN
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty())
        return QDir::fromNativeSeparators(appData);
#endif
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

// The file a save writes: the settings file itself, or the end of its chain
// of symlinks. Empty when the chain loops or leads to nothing; the reason
// goes to standard error, once in the run of the program.
QString writeTarget(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    QString why = QStringLiteral("points to %1, which does not exist").arg(info.symLinkTarget());
#ifdef Q_OS_UNIX
    // Qt's canonical path of a link to itself is the link: ask the system.
    if (char *resolved = ::realpath(QFile::encodeName(path).constData(), nullptr)) {
        const QString target = QFile::decodeName(resolved);
        std::free(resolved);
        return target;
    }
    if (errno == ELOOP)
        why = QStringLiteral("is part of a loop of symbolic links");
#else
    const QString target = info.canonicalFilePath();
    if (!target.isEmpty() && QFileInfo::exists(target))
        return target;
#endif
    static bool told = false;
    if (!told) {
        told = true;
        std::fprintf(stderr, "ORVA: settings not saved: %s %s\n",
                     QFile::encodeName(path).constData(), why.toLocal8Bit().constData());
    }
    return {};
}

} // namespace

namespace SettingsStore {

QString read(const QString &application, const QString &section, const QString &key,
             const QString &defaultText)
{
    return read(application, section, QStringList{key}, defaultText).constFirst();
}

QStringList read(const QString &application, const QString &section, const QStringList &keys,
                 const QString &defaultText)
{
    QStringList texts(keys.size(), defaultText);
    QFile file(fileName(application));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return texts;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return texts;
    const QByteArray sectionName = section.toUtf8();
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (const std::optional<QByteArray> value =
                IniText::lookup(bytes, sectionName, keys[i].toUtf8()))
            texts[i] = IniText::decode(*value);
    }
    return texts;
}

bool save(const QString &application, const QString &section, const QString &key,
          const QString &text)
{
    const QString target = writeTarget(fileName(application));
    if (target.isEmpty())
        return false;
    const QFileInfo info(target);
    if (!info.exists() && !QDir().mkpath(info.absolutePath()))
        return false;

    // Two programs saving at once must not undo each other's line.
    QLockFile lock(target + QStringLiteral(".lock"));
    lock.tryLock(2000);

    QByteArray before;
    QFile in(target);
    const bool existed = in.exists();
    if (existed) {
        // A file that cannot be read is not written either: nothing of it
        // may be lost.
        if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return false;
        before = in.readAll();
        if (in.error() != QFileDevice::NoError)
            return false;
        in.close();
    }
    const std::optional<IniText::Edit> edit =
        IniText::edit(before, section.toUtf8(), key.toUtf8(), text.toUtf8());
    if (!edit)
        return false;
    if (existed && !edit->changes(before))
        return true;
    // The new text goes to a temporary file beside the target, which then
    // replaces it; the target's permissions carry over. The pieces are
    // written as they are, without a second copy of a large file in memory.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArrayView pieces[] = {QByteArrayView(before).first(edit->at), edit->inserted,
                                     QByteArrayView(before).sliced(edit->at + edit->removed)};
    for (const QByteArrayView piece : pieces) {
        if (out.write(piece.data(), piece.size()) != piece.size()) {
            out.cancelWriting();
            return false;
        }
    }
    return out.commit();
}

QString fileName(const QString &application)
{
    return configFolder() + QLatin1Char('/') + application + QStringLiteral(".ini");
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
