#pragma once

#include "ports/mscomm.h"
#include "ports/reconnect.h"

#include <QObject>
#include <QString>

// The program's port as the operator chooses it: the port number and baud
// code in use, the copies kept while the port dialog is open (for Cancel),
// opening with a reason when it fails, and storing a choice that opened.
// The port dialog shows this state and hands the operator's choices to it;
// the main window owns it together with the port.
//
// A lost link is reopened by itself: the same device (an adapter by its
// stable name, never whichever adapter now has the number) at the same
// speed, tried again and again with backoff (see Reconnector). Nothing is
// tried while the port dialog is open; when it closes and the port is still
// not open, the tries go on. A port the operator closed is left closed.
class PortSession : public QObject
{
    Q_OBJECT

public:
    explicit PortSession(MSComm &port, QObject *parent = nullptr);

    MSComm &port() { return m_port; }
    const MSComm &port() const { return m_port; }

    qint16 ComPortNo = 0;
    quint8 BaudCode = 0;
    qint16 PrevComPortNo = 0;
    quint8 PrevBaudCode = 0;

    // Start-up: the stored port number, and when it is one of the program's
    // port numbers the stored baud code too; false (baud code not read) otherwise.
    bool loadStored();
    // Start-up: opens the stored port; empty on success, else why not.
    QString openStored();
    // Opens |device| (a device path or a network address) at BaudCode, for
    // port number |number| (0: none of the program's); empty on success,
    // else why not. Nothing is stored.
    QString openDevice(const QString &device, int number);

    // The line settings for BaudCode, which becomes 96 or 192.
    void applyBaudCode();
    // Opens ComPortNo (closing the port first); empty on success, else why.
    QString open();

    // The "COM" button: the port closes and the values are kept for Cancel;
    // no reopening by itself until dialogClosed().
    void beginChange();
    // The port dialog has gone: a lost port still not open is tried again.
    void dialogClosed();
    // Closes the port for good (the window closes): nothing is tried again.
    void close();
    // The operator's choices in the dialog.
    void chooseBaud(quint8 code) { BaudCode = code; }
    void choosePort(int port) { ComPortNo = qint16(port); }

    // OK: opens the chosen port with the chosen baud rate and stores both;
    // empty on success, else why not (nothing stored).
    QString accept();

    enum class CancelResult {
        Reopened,   // the previous port is open again
        Failed,     // the previous port did not open
        NoPrevious, // there was no port to go back to; the port is closed
    };
    // Cancel: back to the kept values and the port they name; |why| tells
    // what failed.
    CancelResult cancel(QString *why);

    // Whether a lost link is being tried again, and the device it had open.
    bool reconnecting() const { return m_reconnector.active(); }
    const QString &lostDevice() const { return m_lostDevice; }
    // The device the port has open, or had open last.
    const QString &openDevice() const { return m_openDevice; }

signals:
    // The port opened on |device|; |byItself| after a lost link, without the
    // operator.
    void opened(const QString &device, bool byItself);
    // The port closed: by the operator, or for a change of port.
    void closed();

private:
    void linkLost();
    void tryReopen();
    void portOpened();
    void reopenFailed();
    // Opens port number |number| on |device| (empty: the device the port
    // map gives the number); empty on success, else why not.
    QString openOn(const QString &device, int number);
    void closePort();

    MSComm &m_port;
    Reconnector m_reconnector{this};
    QString m_openDevice;
    // The lost line, as it was open: tried again until it opens or the
    // operator opens another port.
    bool m_lost = false;
    qint16 m_lostPort = 0;
    quint8 m_lostBaud = 0;
    QString m_lostDevice;
    bool m_dialogOpen = false;
    bool m_reopening = false;
};
