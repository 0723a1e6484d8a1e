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
