#pragma once

#include "widgets/windowkit.h"

#include <QColor>
#include <QHash>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <span>

class QWidget;

// The main window's controls as data. Each container (the window's client
// area and every frame) has a table of the controls it holds, with the
// rectangle in twips relative to that container; one builder turns the
// tables into widgets. 15 twips make one logical pixel.
//
// Frames carry no name of their own on the window; they are named here after
// their group: FramePower, FrameModeSet, FrameScreen, FrameVideoMute,
// FrameFreeze, FrameLampMode, FrameMenu, FrameKeystone, FrameLensShift,
// FrameZoom, FrameFocus, FrameDZoom, FrameKeyOff, FrameMonitor (the sent and
// received lines), FrameStatus and FrameAddress.
#include <utility>
#include <vector>

class QWidget;

namespace Layout {

using WindowKit::px;
using WindowKit::setTabOrder;
using WindowKit::toPixels;
using WindowKit::TwipsPerPixel;

enum class Kind : quint8 {
    Frame, // bordered group frame without caption
    Label,
    Button, // command button, captioned or with an arrow picture
    Option, // option (radio) button
};

enum class Arrow : quint8 { None, Up, Down, Left, Right };

using WindowKit::Colour;
using WindowKit::colour;

enum Look : quint8 {
    Plain = 0,
    Bordered = 1 << 0, // single border (the displays)
    HiddenAtStart = 1 << 1,
    Selected = 1 << 2, // option button selected when the window is made
};

enum class Align : quint8 { Left, Centre, Right };

struct Control {
    const char *name;
    const char *parent; // containing frame, or nullptr for the window
    Kind kind;
    const char *caption;
    int left, top, width, height; // twips, relative to the parent
    Colour back;
    Colour fore;
    int fontHundredths; // 900 = 9 pt, 975 = 9.75 pt; 0 for arrow buttons
    Align align;
    Arrow arrow;
    quint8 look;
};

// Every table, window first; a frame's table follows the window row that
// makes the frame.
struct Container {
    const char *name; // nullptr for the window's client area
    std::span<const Control> controls;
};

// The row of control |name|, or nullptr.
const Control *find(QStringView name);

// The 17 x 9 picture of an arrow button: a solid black triangle on #FFFF00
// filling the picture, its base along one edge and its apex the middle pixel
// of the opposite edge.
QPixmap arrowPicture(Arrow arrow);

// The program's 32 x 32 icon.
QPixmap programIcon();

// Makes every control of the tables on |window| and returns them by name.
// The tab order follows the tables (frame contents right after their
// frame).
QHash<QString, QWidget *> build(QWidget *window);

// The font of the controls: bold MS PGothic, IPAPGothic where it is absent.
QFont font(int hundredthsOfPoint);

} // namespace Layout
