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
    };

    virtual ~NetLineBackend() = default;

    virtual bool open(const NetLine::Endpoint &endpoint, const LineSettings &settings,
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
