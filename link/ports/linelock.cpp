#include "ports/linelock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A lock file with no pid in it belongs to a program still writing it,
// unless it is older than this: then its writer ended while writing it.
constexpr time_t kUnfinishedLockSeconds = 60;

// The most read of a lock file; the pid stands at its start.
constexpr qsizetype kLockReadMax = 128;

QString lockPath(const QString &name)
{
    return QLatin1String(LineLock::kLockFolder) + QLatin1String("/LCK..") + name;
}

// The two names programs give the lock file of |path|: its file name, and
// the path below /dev with '/' as '_' (the serial library's name).
QStringList namesOf(const QString &path)
{
    QString below = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
    return {QFileInfo(path).fileName(), below.replace(QLatin1Char('/'), QLatin1Char('_'))};
}

// The pid in a lock file's bytes: the old binary form is 4 bytes, one of
// them zero (a pid is below 2^22); otherwise ASCII digits after optional
// blanks, followed by anything (a newline, the serial library's further
// lines). 0 when there is none.
pid_t pidIn(const QByteArray &bytes)
{
    if (bytes.size() == 4 && bytes.contains('\0')) {
        qint32 pid = 0;
        std::memcpy(&pid, bytes.constData(), sizeof pid);
        return pid > 0 ? pid_t(pid) : 0;
    }
    qsizetype i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t'))
        ++i;
    const qsizetype digits = i;
    qint64 pid = 0;
    for (; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9' && pid <= INT_MAX; ++i)
        pid = pid * 10 + (bytes[i] - '0');
    return i > digits && pid > 0 && pid <= INT_MAX ? pid_t(pid) : 0;
}

enum class Holder { None, Alive, Dead };

// Whether |pid| has ended and only waits to be reaped (a zombie): it holds
// nothing any more, though signals still reach its pid. A killed program
// whose parent has not yet collected it leaves such a pid in its lock file.
bool ended(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // "pid (name) state ...": the name may hold blanks and parentheses.
    const QByteArray line = stat.read(512);
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && line.mid(close + 2, 1) == "Z";
}

// Who holds the lock file at |path|. A file that cannot be read (another
// user's, not a regular file) counts as held: nothing says it is stale.
Holder holderOf(const QString &path, pid_t *pidOut = nullptr)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Holder::None : Holder::Alive;
    struct stat st = {};
    QByteArray bytes(kLockReadMax, '\0');
    ssize_t got = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        got = ::read(fd, bytes.data(), size_t(bytes.size()));
    ::close(fd);
    if (got < 0)
        return Holder::Alive;
    const pid_t pid = pidIn(bytes.left(got));
    if (pidOut)
        *pidOut = pid;
    if (pid == 0)
        return std::time(nullptr) - st.st_mtime > kUnfinishedLockSeconds ? Holder::Dead
                                                                         : Holder::Alive;
    if (::kill(pid, 0) != 0 && errno != EPERM)
        return Holder::Dead;
    return ended(pid) ? Holder::Dead : Holder::Alive;
}

struct Link {
    QString path;   // the link
    QString target; // what it leads to in the end
};

// The links in |folder| and where they lead. A folder's links change only
// with its modification time, so each folder is read again only after it
// changed: a program that opens lines all day (the watcher opens one for
// each poll) then does not read /dev and its neighbours at every open. The
// time is kept in coarse steps, so two changes close together can leave the
// same time: a listing counts only when the folder had not changed for a
// second when it was read.
const QList<Link> &linksIn(const QString &folder)
{
    struct Listing {
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified{};
        bool settled = false; // unchanged for a second when it was read
        QList<Link> links;
    };
    static QHash<QString, Listing> listings;
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0) {
        static const QList<Link> none;
        return none;
    }
    Listing &listing = listings[folder];
    if (listing.settled && listing.device == st.st_dev && listing.inode == st.st_ino
        && listing.modified.tv_sec == st.st_mtim.tv_sec
        && listing.modified.tv_nsec == st.st_mtim.tv_nsec)
        return listing.links;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    listing = Listing{st.st_dev, st.st_ino, st.st_mtim, now.tv_sec - st.st_mtim.tv_sec >= 2, {}};
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        // Not /dev/stdin and the like: they name whatever this process has open.
        if (entry.isSymLink() && !entry.symLinkTarget().startsWith(QLatin1String("/proc/")))
            listing.links.append({entry.absoluteFilePath(), entry.canonicalFilePath()});
    }
    return listing.links;
}

} // namespace

LineLock::Result LineLock::take(const QString &device, const QStringList &linkFolders)
{
    release();
    m_error = 0;
    const QFileInfo given(device);
    const QString real = given.canonicalFilePath();
    if (real.isEmpty()) {
        m_error = ENOENT;
        return Result::Failed;
    }

    // Every name the device goes by: its own, the one given, and its links.
    QStringList paths{real, given.absoluteFilePath()};
    QStringList folders{QStringLiteral("/dev"), QStringLiteral("/dev/serial/by-id"),
                        QStringLiteral("/dev/serial/by-path"), given.absolutePath()};
    folders += linkFolders;
    folders.removeDuplicates();
    for (const QString &folder : std::as_const(folders)) {
        for (const Link &link : linksIn(folder)) {
            // A link that led nowhere when the folder was read may lead to
            // a device that has come since.
            const QString target =
                link.target.isEmpty() ? QFileInfo(link.path).canonicalFilePath() : link.target;
            if (target == real)
                paths << link.path;
        }
    }
    QStringList names;
    for (const QString &path : std::as_const(paths))
        names << namesOf(path);
    names.removeDuplicates();

    QStringList stale;
    for (const QString &name : std::as_const(names)) {
        const QString path = lockPath(name);
        switch (holderOf(path)) {
        case Holder::Alive:
            return Result::InUse;
        case Holder::Dead:
            stale << path;
            break;
        case Holder::None:
            break;
        }
    }

    const QByteArray node = QFile::encodeName(real);
    const int fd = ::open(node.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_error = errno;
        // EBUSY: another program opened it for exclusive use.
        return m_error == EBUSY ? Result::InUse : Result::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return Result::InUse;
    }
    struct stat st = {};
    ::fstat(fd, &st);
    for (const QString &path : std::as_const(stale))
        ::unlink(QFile::encodeName(path).constData());

    m_fd = fd;
    m_device = real;
    m_names = names;
    m_nodeDev = st.st_dev;
    m_nodeIno = st.st_ino;
    return Result::Taken;
}

void LineLock::announce()
{
    if (m_fd < 0)
        return;
    const pid_t self = ::getpid();
    const QByteArray text = QByteArray::number(self).rightJustified(10, ' ') + '\n';
    const QString library = namesOf(m_device).last();
    for (const QString &name : std::as_const(m_names)) {
        Held held{lockPath(name)};
        const QByteArray path = QFile::encodeName(held.path);
        held.fd =
            ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        pid_t pid = 0;
        if (held.fd < 0 && errno == EEXIST && name == library
            && holderOf(held.path, &pid) == Holder::Alive && pid == self) {
            // The serial library's own lock file: rewritten in place, and
            // left to the library to remove. The library holds flock() on
            // it, so that other programs of that library, which take a
            // lock file without their program name for stale, cannot
            // remove it.
            held.fd = ::open(path.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
            held.removeOnRelease = false;
        } else if (held.fd >= 0) {
            ::flock(held.fd, LOCK_EX | LOCK_NB); // the same for those made here
        }
        if (held.fd < 0)
            continue; // held by another, or the folder may not be written
        // The pid first, then the end: a reader never finds the file empty.
        if (::pwrite(held.fd, text.constData(), size_t(text.size()), 0) == text.size())
            (void)!::ftruncate(held.fd, text.size());
        m_held << held;
    }
}

LineLock::Loss LineLock::loss() const
{
    if (m_fd < 0)
        return Loss::None;
    // A pseudo-terminal's node goes with its far end, which hung up.
    if (!m_device.startsWith(QLatin1String("/dev/pts/"))) {
        struct stat st = {};
        if (::stat(QFile::encodeName(m_device).constData(), &st) != 0 || st.st_dev != m_nodeDev
            || st.st_ino != m_nodeIno)
            return Loss::DeviceGone;
    }
    termios settings = {};
    return ::tcgetattr(m_fd, &settings) == 0 ? Loss::None : Loss::HungUp;
}

void LineLock::release()
{
    for (const Held &held : std::as_const(m_held)) {
        struct stat mine = {};
        struct stat now = {};
        const QByteArray path = QFile::encodeName(held.path);
        // Only the file made here, should another have replaced it.
        if (held.removeOnRelease && ::fstat(held.fd, &mine) == 0
            && ::lstat(path.constData(), &now) == 0 && mine.st_dev == now.st_dev
            && mine.st_ino == now.st_ino)
            ::unlink(path.constData());
        ::close(held.fd);
    }
    m_held.clear();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_device.clear();
    m_names.clear();
}

namespace {

// The most of the host kept readable in a lock file's name; the hash tells
// apart hosts that read alike.
constexpr qsizetype kReadableHostMax = 64;

// The folder of the endpoint locks: the shared lock folder (mode 1777),
// else this user's runtime folder; empty when neither may be written.
QString endpointLockFolder()
{
    if (::access(LineLock::kLockFolder, W_OK | X_OK) == 0)
        return QLatin1String(LineLock::kLockFolder);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && ::access(runtime.constData(), W_OK | X_OK) == 0)
        return QFile::decodeName(runtime);
    return {};
}

} // namespace

QString EndpointLock::path(const QString &host, quint16 port)
{
    const QString folder = endpointLockFolder();
    if (folder.isEmpty())
        return {};
    const QString key = host.toLower() + QLatin1Char(' ') + QString::number(port);
    QString readable = host.toLower().left(kReadableHostMax);
    for (QChar &c : readable) {
        if (!((c >= QLatin1Char('a') && c <= QLatin1Char('z'))
              || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.')
              || c == QLatin1Char('-')))
            c = QLatin1Char('_');
    }
    const QByteArray hash =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("%1/orva-endpoint.%2_%3.%4")
        .arg(folder, readable)
        .arg(port)
        .arg(QLatin1String(hash));
}

bool EndpointLock::take(const QString &host, quint16 port)
{
    release();
    const QString file = path(host, port);
    if (file.isEmpty())
        return true;
    const QByteArray name = QFile::encodeName(file);
    constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    // An existing file is opened without O_CREAT: in a shared sticky folder
    // the kernel may refuse O_CREAT on another user's file.
    int fd = ::open(name.constData(), kFlags);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(name.constData(), kFlags | O_CREAT | O_EXCL, 0666);
        if (fd >= 0)
            (void)::fchmod(fd, 0666); // whatever the umask: every user's programs lock it
        else if (errno == EEXIST)     // another program made it meanwhile
            fd = ::open(name.constData(), kFlags);
        else
            return true; // no lock file can be made here
    }
    // Another's file this user may not open, a link or anything but a
    // regular file counts as held: nothing says it is free.
    struct stat st = {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)
        || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void EndpointLock::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
