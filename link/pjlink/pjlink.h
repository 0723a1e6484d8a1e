#pragma once

#include "protocol/state.h"

#include <QByteArray>
#include <QByteArrayView>

#include <span>

// PJLink Class 1, the network protocol of projectors, answered for a
// projector on a serial line. One table maps each PJLink request to the
// projector's own command or to what its state queries tell; nothing else
// ever goes to the projector. Everything here is pure: reading a request and
// writing its answer.
namespace PJLink {

constexpr qsizetype kMaxLine = 136; // bytes of one request line with its CR
constexpr int kIdleMs = 30000;      // a connection without a request is closed
constexpr int kMaxConnections = 4;  // at once, for each projector
constexpr qsizetype kDigestLength = 32;
constexpr qsizetype kMaxName = 64; // bytes of the NAME answer

// Where a request's answer comes from.
enum class From : quint8 {
    Reply,  // the projector's reply to the command sent: an ACK is "OK"
    Power,  // the power state (CR0)
    Errors, // the fault states (CR0)
    Lamp,   // the lamp hours (CR3) and whether it is lit (CR0)
    Input,  // the input (CR1)
    Name,   // the projector's name in the venue
    Fixed,  // the row's text
};

struct Row {
    const char *command;   // "POWR"
    const char *parameter; // "1", "?"
    const char *send;      // the projector's command or query; nullptr for none
    const char *also;      // a second query; nullptr for none
    From from;
    const char *text; // From::Fixed: the answer
};

// Every request the bridge answers; any other parameter of a command in it
// is out of range (ERR2), any other command undefined (ERR1).
std::span<const Row> table();

struct Request {
    // "%1POWR": how the answer begins. Empty when the line is no PJLink
    // request at all; the connection is then closed.
    QByteArray header;
    const Row *row = nullptr; // none: the answer is |error|
    QByteArray error;         // "ERR1" or "ERR2"
};

// Reads one request line, without its CR and without a digest in front.
Request parse(QByteArrayView line);
// "%1POWR=1\r": the answer to |request| with |value| ("OK", "1", "ERR3"…).
QByteArray answer(const Request &request, QByteArrayView value);
// The value that a query row answers from |state|: the state's words
// mapped, or "ERR4" where the projector's reply is missing or unknown.
QByteArray fromState(const Row &row, const ProjectorState &state);
// Whether a power command must wait: counting down or cooling.
bool inTransition(const ProjectorState &state);
// The value for a command whose reply was |reply| ("OK" for an ACK).
QByteArray fromReply(QByteArrayView reply);
// The name as NAME answers it: UTF-8, at most kMaxName bytes, no CR or LF.
QByteArray nameValue(const QString &name);

// The greeting of a connection: "PJLINK 0\r", or "PJLINK 1 <random>\r"
// when a password is set.
QByteArray greeting(QByteArrayView random);
// The 32 lower-case hex digits of MD5(random + password).
QByteArray digest(QByteArrayView random, QByteArrayView password);

} // namespace PJLink
