#pragma once

#include <QTextStream>

// orvactl's standard output and standard error, one stream each for the
// whole program, so that what its parts print keeps its order.
QTextStream &out();
QTextStream &err();
