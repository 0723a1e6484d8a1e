#pragma once

#include "ports/linesettings.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <optional>
#include <vector>

// The line settings part of COM-PORT-CONTROL (RFC 2217): the requests that
// ask a server to set its serial line, and the server's answers, each with
// the value it set. It holds no socket: the caller sends what request()
// gives and hands over what the server sends back.
class ComPortNegotiation
{
    Q_DECLARE_TR_FUNCTIONS(ComPortNegotiation)

public:
    // Asks for |settings|: the subnegotiations to send, one per setting.
    // Answers to earlier requests are forgotten.
    QByteArray request(const LineSettings &settings);
    // Takes the payload of a COM-PORT-CONTROL subnegotiation from the
    // server; false (and nothing changes) when it answers no setting.
    bool take(const QByteArray &payload);
    // True once every setting asked for has been answered.
    bool answered() const;
    // Once answered: empty when the server set what was asked, otherwise
    // both in words ("the server refused the line settings: asked for ...;
    // it set ...").
    QString refusal() const;

    // Why a Telnet server that does not take COM-PORT-CONTROL cannot be used.
    static QString optionRefused();

private:
    // By setting, in the order of the table in comport.cpp.
    std::vector<quint32> m_wanted;
    std::vector<std::optional<quint32>> m_got;
};
