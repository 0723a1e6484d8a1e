#pragma once

#include "ports/linelock.h"
#include "ports/linesettings.h"
#include "ports/netline.h"

#include <QObject>
#include <QSerialPort>
#include <QString>

// The program's serial port: one line to the projector, configured by a
// settings text ("9600,N,8,1") and a port number (1 = COM1), opened and closed
// by writing PortOpen. Each byte is one character (Latin-1) in both
// directions. OnComm is raised whenever received characters wait to be read.
//
// The device may also be a serial device server on the network
// ("tcp://host:port" or "rfc2217://host:port"); such a port opens, writes,
// raises OnComm and closes like a local one.
//
// A local device is held against other programs while the port is open,
// and a device another program holds does not open (see LineLock). A
// network endpoint is held in the same way against the other programs on
// this machine, from before the connection until it ends (see EndpointLock).
//
// When the open line fails (the adapter is unplugged, the far end hangs up)
// the port closes itself at once and reports linkLost; from then on it
// behaves as a closed port.
class MSComm : public QObject
{
    Q_OBJECT

public:
    // CommEvent values.
    static constexpr int comEvReceive = 2;

    // Why the last PortOpen = true failed.
    enum class OpenFailure {
        None,
        BadPortNumber, // not a usable port number
        NoDevice,      // the device does not exist
        PermissionDenied,
        InUse,       // held by another program
        BadSettings, // the settings text cannot be applied
        BadAddress,  // a network address that cannot be read
        HostNotFound,
        ConnectionRefused,
        NoAnswer,        // the server did not answer in time
        SettingsRefused, // the server refused the line settings
        Other,
    };

    explicit MSComm(QObject *parent = nullptr);
    ~MSComm() override;

    void setSettings(const QString &settings);
    QString settings() const { return m_settings; }

    void setCommPort(int port);
    int commPort() const { return m_commPort; }

    // A device to open instead of the one the port number stands for (for a
    // caller that names the device itself); empty uses the port number.
    void setDevice(const QString &device) { m_device = device; }
    QString device() const { return m_device; }

    // Opening: true on success. On failure the port stays closed and
    // openFailure()/openFailureText() tell why. Closing always succeeds, and
    // ends an open under way without a signal. A network port is opened as
    // by startOpen(), and this call waits for it (the event loop runs, user
    // input is held back); opened() or openFailed() comes before it returns.
    bool setPortOpen(bool open);
    bool portOpen() const;

    // Starts opening the port. Returns at once; exactly one of opened() or
    // openFailed() follows, always after startOpen() has returned (never from
    // within it). openFailure()/openFailureText() tell why on failure.
    // A local device is opened within this call (that does not block), a
    // network line with the event loop, within networkOpenMs. On a port that
    // is open already, opened() follows. While an open is under way (until
    // its signal), starting again is ignored: the one signal to come answers
    // both; setPortOpen(true) then waits for that signal.
    void startOpen();
    // From startOpen() until its signal.
    bool isOpening() const { return m_opening; }
    // True while the open port is a network line.
    bool overNetwork() const { return m_net.isOpen(); }

    // Writes each character as one byte. Returns false (and writes nothing)
    // when the port is closed or the write is refused.
    bool output(const QString &text);

    // Everything received and not yet read, removed from the port's buffer.
    QString input();
    // How many received characters wait to be read.
    qint64 inBufferCount() const;

    int commEvent() const { return m_commEvent; }

    OpenFailure openFailure() const { return m_openFailure; }
    QString openFailureText() const { return m_openFailureText; }

    // How long opening a network port may take.
    static constexpr int networkOpenMs = 2000;

signals:
    void OnComm();
    void linkLost(const QString &reason);
    // PortOpen = true succeeded.
    void opened();
    // An open failed; the port is closed.
    void openFailed();
    // An open under way ended, in any way (also by closing).
    void openSettled(QPrivateSignal);

private:
    enum class Begun { Opened, Failed, Pending };
    // Opens a local device, or starts opening a network line.
    Begun beginOpen();
    // |signal| once the caller has returned, unless the port is closed first.
    void reportLater(void (MSComm::*signal)());
    void settle();
    void handleNetOpened();
    void handleNetOpenFailed();
    // Whether this user may read and write |device| at all.
    static bool mayOpen(const QString &device);
    void handleReadyRead();
    Begun openNetwork(const QString &device, const LineSettings &line);
    // The network line's failure, in the words of opening |device|.
    void failNetwork(const QString &device);
    QString entryName(const QString &device) const;
    void handleError(QSerialPort::SerialPortError error);
    void fail(OpenFailure failure, const QString &text);
    // The failure of opening the local |device|, in its words; |detail| is
    // the system's for a failure of its own.
    void failOn(OpenFailure failure, const QString &device, const QString &detail = QString());

    QSerialPort m_port{this};
    LineLock m_lock;
    EndpointLock m_endpointLock;
    NetLine m_net{this};
    QString m_settings = QStringLiteral("9600,N,8,1");
    int m_commPort = 1;
    QString m_device;
    int m_commEvent = 0;
    // An open under way, and the device it opens; the count of opens ended
    // by closing, so that a report queued before that is not delivered.
    bool m_opening = false;
    QString m_openingDevice;
    quint64 m_closings = 0;
    OpenFailure m_openFailure = OpenFailure::None;
    QString m_openFailureText;
};
