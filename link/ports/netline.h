#pragma once

#include "ports/linesettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class NetLineBackend;

// A serial line reached over the network: raw TCP ("tcp://host:port"), where
// the bytes pass unchanged and the server fixes the line settings, or Telnet
// with COM-PORT-CONTROL ("rfc2217://host:port"), where the line settings are
// sent to the server's serial port.
//
// Opening runs with the event loop and ends in opened or openFailed, once the
// line is ready or the time is up. After that the line reports received data
// with readyRead; when the connection drops it closes itself and reports lost
// once.
//
// The socket side is a module loaded at the first open (see
// netlinebackend.h); reading addresses needs nothing of it.
class NetLine : public QObject
{
    Q_OBJECT

public:
    struct Endpoint {
        bool telnet = false;
        QString host;
        quint16 port = 0;
    };

    enum class Failure {
        None,
        HostNotFound,
        Refused,
        NoAnswer,
        SettingsRefused,
        Closed, // the server hung up while the line was being set up
        Other,
    };

    explicit NetLine(QObject *parent = nullptr);
    ~NetLine() override;

    // True when |text| names a network address (it has a "scheme://").
    static bool isAddress(const QString &text);
    // Reads "tcp://host:port" or "rfc2217://host:port"; false with |why| (a
    // short phrase) when the text is not such an address.
    static bool parse(const QString &text, Endpoint *out, QString *why);

    // Starts connecting, to be done within |timeoutMs|: then exactly one of
    // opened() and openFailed() follows, never from within this call. False
    // (and no signal) when it cannot even start; failure()/failureText() tell
    // why then and after openFailed(). Starting again, or close(), ends an
    // open under way without a signal.
    bool startOpen(const Endpoint &endpoint, const LineSettings &settings, int timeoutMs);
    void close();
    bool isOpen() const;

    // New line settings for an open Telnet line (raw lines ignore them).
    void setSettings(const LineSettings &settings);

    bool write(const QByteArray &data);
    QByteArray readAll();
    qint64 bytesAvailable() const;

    Failure failure() const;
    QString failureText() const;

signals:
    void opened();
    void openFailed();
    void readyRead();
    void lost(const QString &reason);

private:
    // Loads the module (once per process) and makes this line's socket side.
    bool ensureBackend();

    std::unique_ptr<NetLineBackend> m_backend;
    // Why the module could not be used.
    Failure m_failure = Failure::None;
    QString m_failureText;
};
