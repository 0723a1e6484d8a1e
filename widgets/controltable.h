#pragma once

#include "widgets/windowkit.h"

#include <QHash>
#include <QString>

#include <span>

class QWidget;

// A window's controls as data: one table of rows, each naming the control,
// the frame that holds it, its kind, caption, rectangle in twips, place in
// the tab order, colours, font and look. One builder turns a table into
// widgets; a window keeps only its table and its own logic.
namespace WindowKit {

enum class Kind : quint8 {
    Frame,       // etched box without a caption; holds controls
    TitledFrame, // box with its title on the top line; holds controls
    Label,       // text, never markup
    Button,      // command button; never the default button
    Option,      // option (radio) button
    TextBox,     // one-line text box
    List,        // drop-down list: rows can only be chosen
    ChoiceList,  // drop-down combo box whose edit field only shows the chosen row
};

// A label's text placement. Auto keeps the widget's own; the others put the
// text at the top of the box, starting at its border.
enum class Align : quint8 { Auto, Left, Centre, Right };

enum Look : quint8 {
    Plain = 0,
    Bordered = 1 << 0, // label with a single sunken border (the displays)
    HiddenAtStart = 1 << 1,
    Selected = 1 << 2,   // option selected when the window is made
    FitCaption = 1 << 3, // label caption condensed until it fits its box
};

struct Control {
    const char *name;
    const char *parent; // frame that holds it; nullptr for the window
    Kind kind;
    const char *caption;          // nullptr for none
    int left, top, width, height; // twips, relative to the parent
    // Place in the tab order, lowest first; equal places keep the order of
    // the table, with a frame's controls right after the frame.
    int tab = 0;
    // Background and text colours; Inherited leaves the window's. A
    // button's back colour is its face, which only a window's own maker
    // (below) paints.
    Colour back = Colour::Inherited;
    Colour fore = Colour::Inherited;
    int fontHundredths = 0; // bold, 900 = 9 pt, 975 = 9.75 pt; 0: the window's font
    Align align = Align::Auto;
    quint8 look = Plain;
    quint8 variant = 0; // the window's own detail, read by its maker
};

// A window's maker of controls of its own (a button that paints its own
// face, say): the widget for |control| on |parent|, or nullptr to have the
// standard widget of the control's kind. Either way the builder then gives
// it its name, rectangle, colours, font and place in the tab order.
using Maker = QWidget *(*)(const Control &control, QWidget *parent);

struct Controls {
    QHash<QString, QWidget *> byName;
    QWidget *firstTabStop = nullptr; // nullptr when no control takes the focus

    template<typename T>
    T *get(const char *name) const
    {
        return qobject_cast<T *>(byName.value(QString::fromLatin1(name)));
    }
};

// Makes every control of |table| on |window| and chains the focus through
// them in their tab order.
Controls build(QWidget *window, std::span<const Control> table, Maker maker = nullptr);

// The row of control |name| in |table|, or nullptr.
const Control *find(std::span<const Control> table, QStringView name);

} // namespace WindowKit
