#pragma once

#include <QString>

// The port dialog's number box: which port number a text names.
namespace PortText {

constexpr int FirstPort = 1;
constexpr int LastPort = 15;

// Digits only, blanks around them allowed, naming FirstPort..LastPort: that
// number. Anything else, 0.
int portNumber(const QString &text);

} // namespace PortText
