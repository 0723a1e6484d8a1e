#pragma once

#include "widgets/controltable.h"
#include "widgets/windowkit.h"

#include <QHash>
#include <QPixmap>
#include <QString>

class QWidget;

// The main window's controls as data: one table, each row with its
// rectangle in twips relative to the frame that holds it; the shared
// builder turns it into widgets. 15 twips make one logical pixel.
//
// Frames carry no name of their own on the window; they are named here after
// their group: FramePower, FrameModeSet, FrameScreen, FrameVideoMute,
// FrameFreeze, FrameLampMode, FrameMenu, FrameKeystone, FrameLensShift,
// FrameZoom, FrameFocus, FrameDZoom, FrameKeyOff, FrameMonitor (the sent and
// received lines), FrameStatus and FrameAddress.
namespace Layout {

using WindowKit::Colour;
using WindowKit::colour;
using WindowKit::Control;
using WindowKit::px;

enum class Arrow : quint8 { None, Up, Down, Left, Right };

// The row of control |name|, or nullptr.
const Control *find(QStringView name);

// The arrow an arrow button shows; None for every other control.
Arrow arrowOf(const Control &control);

// The 17 x 9 picture of an arrow button: a solid black triangle on #FFFF00
// filling the picture, its base along one edge and its apex the middle pixel
// of the opposite edge.
QPixmap arrowPicture(Arrow arrow);

// The program's 32 x 32 icon.
QPixmap programIcon();

// Makes every control of the table on |window| and returns them by name.
// The tab order follows the table (frame contents right after their
// frame). Every button is a ColourButton.
QHash<QString, QWidget *> build(QWidget *window);

} // namespace Layout
