#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// Holds a local serial device against other programs, by the two
// conventions terminal programs on Linux follow, and sees their holds:
// - a lock file /var/lock/LCK..<name> holding the holder's pid, in ASCII
//   (blank-padded to 10 characters and a newline) or in the old 4-byte
//   binary form. Programs name it after the device's path below /dev with
//   '/' as '_' ("ttyUSB0", "pts_3": minicom, the serial library), after its
//   file name alone ("3"), or after a link they opened ("usb-FTDI_...-port0",
//   or "serial_by-id_usb-FTDI_...-port0");
// - flock(2) on the device itself.
//
// Opening: take() before the serial library opens the device, announce()
// once it has; release() after it has closed the device.
class LineLock
{
public:
    enum class Result {
        Taken,
        InUse,  // another live program holds the device
        Failed, // the device cannot be opened: error() tells why
    };
    // How a line that failed while held has ended.
    enum class Loss {
        None,       // the line itself still works
        HungUp,     // the far end hung up
        DeviceGone, // the device node is gone
    };

    // The folder of the lock files.
    static constexpr char kLockFolder[] = "/var/lock";

    LineLock() = default;
    ~LineLock() { release(); }
    LineLock(const LineLock &) = delete;
    LineLock &operator=(const LineLock &) = delete;

    // Holds |device| (a device or a link to one): fails when another live
    // program has locked it under any of its names (the device's, or those
    // of its links in /dev, /dev/serial/by-id, /dev/serial/by-path,
    // |linkFolders| and the folder of |device|), or by flock. Lock files of
    // dead programs are removed. Other programs' locks never are.
    Result take(const QString &device, const QStringList &linkFolders);
    // errno of the failed open when take() returned Failed.
    int error() const { return m_error; }
    // The device itself, all links followed; empty when none is held.
    QString device() const { return m_device; }

    // Once the device is open: holds a lock file in the classic ASCII form
    // under each of the device's names, where the lock folder may be
    // written. The serial library's own lock file is rewritten in that form.
    void announce();

    // What has become of the held line, for a line that reported a failure.
    Loss loss() const;

    // Lets go of the device and removes the lock files announce() made.
    void release();

private:
    struct Held {
        QString path;
        int fd = -1;
        bool removeOnRelease = true; // false: the serial library removes it
    };

    int m_fd = -1;
    int m_error = 0;
    QString m_device;
    QStringList m_names; // lock file names of the device, after "LCK.."
    dev_t m_nodeDev = 0;
    ino_t m_nodeIno = 0;
    QList<Held> m_held;
};

// Holds a network endpoint (a serial device server's port) against the
// other programs on this machine that honour this lock, which ORVA's
// programs all do: flock(2) on a file named after the endpoint in the lock
// folder, which every local user may write. Where that folder may not be
// written, the file goes to the user's own runtime folder
// ($XDG_RUNTIME_DIR): then only this user's programs take turns. Across
// machines the server decides.
//
// The endpoint is the host and the port: raw TCP and Telnet to one of them
// reach one serial port. Hosts are compared as written, in lower case; a
// name and its address count as two endpoints (the lock is taken before
// the connection, without asking the name service).
//
// The file is never removed: a program may have opened it just before, and
// would then lock a file that the next program no longer finds.
class EndpointLock
{
public:
    EndpointLock() = default;
    ~EndpointLock() { release(); }
    EndpointLock(const EndpointLock &) = delete;
    EndpointLock &operator=(const EndpointLock &) = delete;

    // False when another program holds |host|:|port| (or its lock file has
    // been made unusable). Where no lock file can be made at all, nothing is
    // held and the line opens as it would without this lock: true.
    bool take(const QString &host, quint16 port);
    void release();

    // The lock file of |host|:|port|; empty when no folder may be written.
    static QString path(const QString &host, quint16 port);

private:
    int m_fd = -1;
};
