#pragma once

#include <QString>
#include <QtGlobal>

// The settings of a serial line: speed, character size, parity and stop
// bits. A local port applies them to its device; a network port asks the
// server to apply them to its own.
struct LineSettings {
    enum class Parity { None, Odd, Even, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    qint32 baud = 9600;
    int dataBits = 8; // 5 to 8
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;

    // Reads a settings text "baud,parity,data,stop" ("9600,N,8,1"; parity
    // N, O, E, M or S in either case; stop 1, 1.5 or 2); false when it
    // cannot be read.
    static bool parse(const QString &text, LineSettings *out);

    friend bool operator==(const LineSettings &, const LineSettings &) = default;
};
