#pragma once

#include <QString>

// A pseudo-terminal pair set up as a raw serial line: no echo, no line
// editing, no translation of carriage returns. The master end is
// non-blocking; the slave end is what a program opens as its port.
struct RawPty {
    int master = -1;
    int slave = -1;
    QString slavePath;

    // Opens a new pair; false (and both ends -1) when none is available.
    bool open();
    void close();
};
