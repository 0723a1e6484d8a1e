#pragma once

#include <QString>

// The port dialog's number box: which port number a text names.
namespace PortText {

// Digits only, blanks around them allowed, naming one of the program's port
// numbers: that number. Anything else, 0.
int portNumber(const QString &text);

} // namespace PortText
