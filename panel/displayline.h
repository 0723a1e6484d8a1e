#pragma once

#include <QString>

class QLabel;

// The monitor and status lines as an assistive tool sees them: a line
// carries a fixed accessible name ("Sent", "Received", "Status") and offers
// what it shows as its value and as readable text, which a plain label with a
// name of its own no longer does.
namespace DisplayLine {

// Gives |label| the accessible name |name| and makes its text readable.
void mark(QLabel *label, const QString &name);

// Shows |text| on a marked line and tells an assistive tool that listens.
void show(QLabel *label, const QString &text);

} // namespace DisplayLine
