#pragma once

#include "ports/netline.h"

#include <QByteArray>
#include <QString>

#include <functional>

// What NetLine asks of the code that holds the socket. That code lives in a
// module of its own (orva_netline), loaded the first time a network port is
// opened: the network library and what it pulls in (Kerberos, proxy
// discovery) stay out of a process that only ever opens serial ports.
class NetLineBackend
{
public:
    struct Hooks {
        std::function<void()> readyRead;
        std::function<void(const QString &reason)> lost;
        // The end of an open: the line is ready, or failure() says why not.
        // Called as the last thing the line does, so that what they call
        // may close the line or open it again.
        std::function<void()> opened;
        std::function<void()> openFailed;
    };

    virtual ~NetLineBackend() = default;

    // Starts connecting; one of the hooks opened or openFailed follows
    // within |timeoutMs|, never from within this call. close() ends an open
    // under way without a hook.
    virtual void startOpen(const NetLine::Endpoint &endpoint, const LineSettings &settings,
                           int timeoutMs) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual void setSettings(const LineSettings &settings) = 0;
    virtual bool write(const QByteArray &data) = 0;
    virtual QByteArray readAll() = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual NetLine::Failure failure() const = 0;
    virtual QString failureText() const = 0;
};

// The module's one entry point: a new line that reports through |hooks|.
extern "C" using NetLineCreate = NetLineBackend * (const NetLineBackend::Hooks &hooks);
inline constexpr char kNetLineCreateSymbol[] = "orva_netline_create";
