#include "store/settingsstore.h"

#include "facts/projector.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QSaveFile>
#include <QScopeGuard>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// The name of the section that the non-blank line |text| starts: its first
// character is '[' and it holds a ']'. Nothing for any other line.
std::optional<Span> sectionName(QByteArrayView file, Span text)
{
    if (file[text.begin] != '[')
        return std::nullopt;
    const qsizetype close = find(file, ']', text.begin + 1, text.end);
    if (close < 0)
        return std::nullopt;
    return trimmed(file, {text.begin + 1, close});
}

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
        if (const auto name = sectionName(file, text)) {
            inSection = sameName(view(file, *name), section);
            inFirst = inSection && !m.sectionSeen;
            if (inSection)
                m.sectionSeen = true;
            if (inFirst)
                m.lastOfSection = line;
            continue;
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

QList<Entry> entries(QByteArrayView file, QByteArrayView section)
{
    QList<Entry> found;
    Lines lines(file);
    Line line;
    bool inSection = false;
    while (lines.next(&line)) {
        const Span text = trimmed(file, line.text);
        if (text.begin == text.end)
            continue;
        if (const auto name = sectionName(file, text)) {
            inSection = sameName(view(file, *name), section);
            continue;
        }
        const qsizetype equals = inSection ? find(file, '=', text.begin, text.end) : -1;
        if (equals >= 0)
            found.append({view(file, trimmed(file, {text.begin, equals})).toByteArray(),
                          unquoted(view(file, trimmed(file, {equals + 1, text.end})))});
    }
    return found;
}

std::optional<Edit> edit(QByteArrayView file, QByteArrayView section, QByteArrayView key,
                         QByteArrayView value)
{
    if (!writableName(section) || section.contains(']') || !writableName(key) || key.startsWith('[')
        || value.contains('\n'))
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

std::optional<QByteArray> setValue(QByteArrayView file, QByteArrayView section, QByteArrayView key,
                                   QByteArrayView value)
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

// Says |line| on standard error, once in the run of the program.
void tellOnce(const QString &line)
{
    static QMutex mutex;
    static QSet<QString> told;
    const QMutexLocker locker(&mutex);
    if (told.contains(line))
        return;
    told.insert(line);
    std::fprintf(stderr, "ORVA: %s\n", line.toLocal8Bit().constData());
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
    tellOnce(QStringLiteral("settings not saved: %1 %2").arg(path, why));
    return {};
}

// What reading the settings file found.
enum class Loaded {
    Bytes,   // the whole file
    Absent,  // no file of that name (a new one may be made)
    Ignored, // not a regular file, or too large: never read nor written
    Failed,  // could not be read (permissions, I/O)
};

struct Load {
    Loaded result = Loaded::Failed;
    QByteArray bytes;
#ifdef Q_OS_UNIX
    struct stat status = {}; // of the file read, for a save to keep its owner
#endif
};

// Why a file above the bound is not read.
QString tooLarge()
{
    return QStringLiteral("is larger than %1 MB").arg(SettingsStore::kMaxFileSize / (1024 * 1024));
}

// Says that the settings file at |path| is ignored, and why.
void tellIgnored(const QString &path, const QString &why)
{
    QString line = QStringLiteral("settings ignored: ") + path;
    const QFileInfo info(path);
    if (info.isSymLink())
        line += QStringLiteral(" leads to %1, which").arg(info.canonicalFilePath());
    tellOnce(line + QLatin1Char(' ') + why);
}

#ifdef Q_OS_UNIX
// Why a file of |status| is not settings; empty for a regular file of a size
// the store reads.
QString notSettings(const struct stat &status)
{
    if (S_ISREG(status.st_mode))
        return status.st_size > SettingsStore::kMaxFileSize ? tooLarge() : QString();
    const char *kind = S_ISDIR(status.st_mode)    ? "a folder"
                       : S_ISFIFO(status.st_mode) ? "a named pipe (FIFO)"
                       : S_ISCHR(status.st_mode)  ? "a character device"
                       : S_ISBLK(status.st_mode)  ? "a block device"
                       : S_ISSOCK(status.st_mode) ? "a socket"
                                                  : "a special file";
    return QStringLiteral("is %1, not a regular file").arg(QLatin1String(kind));
}

// Whether the file at |path| (after links) may be read and written as
// settings; a file that may not is told about.
bool settingsFile(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return true; // nothing there yet, or not to be reached: opening tells
    const QString why = notSettings(status);
    if (why.isEmpty())
        return true;
    tellIgnored(path, why);
    return false;
}
#endif

// Reads the settings file at |path|, following links. Only a regular file is
// read, and at most kMaxFileSize bytes of it; nothing waits for a writer (a
// named pipe) or reads without end (a device).
Load load(const QString &path)
{
    Load load;
#ifdef Q_OS_UNIX
    // Checked before opening, since opening a device may act on it (a serial
    // line's modem lines); checked again on what was opened.
    if (!settingsFile(path)) {
        load.result = Loaded::Ignored;
        return load;
    }
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        load.result = errno == ENOENT ? Loaded::Absent : Loaded::Failed;
        return load;
    }
    const auto done = qScopeGuard([fd] { ::close(fd); });
    if (::fstat(fd, &load.status) != 0)
        return load;
    if (const QString why = notSettings(load.status); !why.isEmpty()) {
        tellIgnored(path, why);
        load.result = Loaded::Ignored;
        return load;
    }
    // A file that grows while it is read, or reports no size (as in /proc),
    // still ends at the bound.
    load.bytes.reserve(qsizetype(load.status.st_size) + 1);
    for (;;) {
        if (load.bytes.size() > SettingsStore::kMaxFileSize) {
            load.bytes.clear();
            tellIgnored(path, tooLarge());
            load.result = Loaded::Ignored;
            return load;
        }
        const qsizetype have = load.bytes.size();
        // The room reserved first, then (for a file that grew) more.
        const qsizetype room = load.bytes.capacity() - have;
        const qsizetype chunk = room > 0 ? room : 65536;
        load.bytes.resize(have + chunk);
        const ssize_t got = ::read(fd, load.bytes.data() + have, size_t(chunk));
        load.bytes.resize(have + qMax<qsizetype>(got, 0));
        if (got == 0)
            break;
        if (got < 0 && errno != EINTR) {
            load.bytes.clear();
            return load;
        }
    }
    load.result = Loaded::Bytes;
#else
    const QFileInfo info(path);
    if (!info.exists()) {
        load.result = info.isSymLink() ? Loaded::Failed : Loaded::Absent;
        return load;
    }
    if (!info.isFile() || info.size() > SettingsStore::kMaxFileSize) {
        tellIgnored(path, info.isFile() ? tooLarge() : QStringLiteral("is not a regular file"));
        load.result = Loaded::Ignored;
        return load;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return load;
    load.bytes = file.read(SettingsStore::kMaxFileSize + 1);
    if (file.error() == QFileDevice::NoError && load.bytes.size() <= SettingsStore::kMaxFileSize)
        load.result = Loaded::Bytes;
#endif
    return load;
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
    const Load file = load(fileName(application));
    if (file.result != Loaded::Bytes)
        return texts;
    const QByteArray sectionName = section.toUtf8();
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (const std::optional<QByteArray> value =
                IniText::lookup(file.bytes, sectionName, keys[i].toUtf8()))
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
#ifdef Q_OS_UNIX
    // What is not a settings file gets no lock file beside it either.
    if (!settingsFile(fileName(application)))
        return false;
#endif
    const QFileInfo info(target);
    if (!info.exists() && !QDir().mkpath(info.absolutePath()))
        return false;

    // Two programs saving at once must not undo each other's line.
    QLockFile lock(target + QStringLiteral(".lock"));
    lock.tryLock(2000);

    // A file that cannot be read is not written either: nothing of it may
    // be lost.
    const Load file = load(target);
    if (file.result != Loaded::Bytes && file.result != Loaded::Absent)
        return false;
    const bool existed = file.result == Loaded::Bytes;
    const QByteArray &before = file.bytes;
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
#ifdef Q_OS_UNIX
    // So do its owner and group, as when root saves a user's file; a file
    // that would change hands is not replaced.
    struct stat made = {};
    if (existed
        && (::fstat(out.handle(), &made) != 0
            || ((made.st_uid != file.status.st_uid || made.st_gid != file.status.st_gid)
                && (::fchown(out.handle(), file.status.st_uid, file.status.st_gid) != 0
                    || ::fchmod(out.handle(), file.status.st_mode & 07777) != 0)))) {
        tellOnce(QStringLiteral("settings not saved: %1 cannot keep its owner").arg(target));
        out.cancelWriting();
        return false;
    }
#endif
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

QByteArray readFile(const QString &application)
{
    const Load file = load(fileName(application));
    return file.result == Loaded::Bytes ? file.bytes : QByteArray();
}

QString readStartUp(const QString &key, const QString &defaultText)
{
    return read(QString::fromLatin1(kApplication), QString::fromLatin1(kStartUp), key, defaultText);
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
    return std::nearbyint(leadingNumber(text)) == double(Projector::Baud9600)
               ? Projector::Baud9600
               : Projector::Baud19200;
}
