#pragma once

#include <QString>

#include <optional>

// Turns the replies to the status queries into words for the status line.
// Which query a reply answers is told by the current command alone: the
// query word and a carriage return, with nothing in front (a command sent
// with an address carries the address and is never decoded).
namespace Decode {

// The lamp time reply (five digits and CR) and the temperature reply (three
// fields and CR) are decoded only at exactly these lengths.
constexpr qsizetype LampReplyLength = 6;
constexpr qsizetype TemperatureReplyLength = 18;

// The new status text, or nothing when the status line keeps what it shows.
// |sourceLength| is the length of the received text, |rendered| its readable
// form, |status| what the status line shows now (lamp time appends to it).
std::optional<QString> statusFor(const QString &currentCommand, qsizetype sourceLength,
                                 const QString &rendered, const QString &status);

// The value a script compares, from the same row as the status words: the
// power state of a CR0 reply ("on", "standby", ...) and the input of a CR1
// reply ("1", "wired", ...). |rendered| as for statusFor; nothing when no
// row matches.
std::optional<QString> powerValue(const QString &rendered);
std::optional<QString> inputValue(const QString &rendered);

} // namespace Decode
