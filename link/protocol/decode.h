#pragma once

#include <QString>

#include <optional>

// Turns the replies to the status queries into words for the status line.
// Which query a reply answers is told by the current command alone: the
// query word and a carriage return, with nothing in front (a command sent
// with an address carries the address and is never decoded).
namespace Decode {

// The new status text, or nothing when the status line keeps what it shows.
// |sourceLength| is the length of the received text, |rendered| its readable
// form, |status| what the status line shows now (lamp time appends to it).
std::optional<QString> statusFor(const QString &currentCommand, qsizetype sourceLength,
                                 const QString &rendered, const QString &status);

} // namespace Decode
