#pragma once

#include <QString>
#include <QStringView>

#include <span>

// The command behind each button of the main window. A click button sends its
// command once per click; a press-and-hold button (the arrows) sends it when
// a mouse button goes down on it and repeats it while the button is held,
// under its hold kind, which keys the engine's repetition.
namespace ButtonMap {

// How the window handles a button: Click sends its command; Hold repeats
// it; MenuOn sends it and then puts the repetition back to its start-up
// period; End sends nothing and ends the program.
enum class Style : quint8 { Click, Hold, MenuOn, End };

struct Entry {
    const char *button;  // control name
    const char *command; // command word without the carriage return;
                         // nullptr for "END", which sends nothing, and for
                         // the arrows, whose command follows their hold kind
    Style style;
    quint8 holdKind; // 0 for click buttons
};

// The panel's 42 buttons, in the order of the window's groups.
std::span<const Entry> panelButtons();

// The status column's eight query buttons, top to bottom, then "IMAGE".
std::span<const Entry> queryButtons();

// The row of button |name| in either table, or nullptr.
const Entry *find(QStringView name);

// What an arrow does, after its group and the direction of its picture
// ("Zoom up", "Keystone left"): its accessible name, as it has no caption.
QString arrowName(const Entry &entry);

// The tooltip of a button: the command it sends, and for an arrow also
// what it does.
QString toolTip(const Entry &entry);

} // namespace ButtonMap
