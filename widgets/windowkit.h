#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

#include <utility>
#include <vector>

class QWidget;

// What the three windows share: positions in twips, the frame allowance,
// the colours, the font and the tab order.
namespace WindowKit {

// 15 twips make one logical pixel.
inline constexpr int TwipsPerPixel = 15;
constexpr int px(int twips)
{
    return twips / TwipsPerPixel;
}
// A rectangle in twips as logical pixels.
QRect toPixels(int left, int top, int width, int height);

// Title bar and border, taken off a window's outer height to get its client
// area, in twips.
inline constexpr int FrameAllowance = 420;

// Chains the focus through |controls| in the order of their tab numbers.
void setTabOrder(std::vector<std::pair<int, QWidget *>> controls);

// MS PGothic, or IPAPGothic (the same metrics) where it is absent, at
// |points|.
QFont font(qreal points, bool bold);

// Colours. The system colour is resolved from the palette.
enum class Colour : quint8 {
    System,              // button face / button text of the palette
    InactiveCaptionText, // the POWER group's background
    Grey,                // #C0C0C0, the window and the legend lines
    White,
    On,          // #80FF80
    Off,         // #FF8080
    Enter,       // #FFC080
    ArrowYellow, // #FFFF80
    Function,    // #00C0C0
    Status,      // #C0FFFF
    DarkRed,     // #C00000, the POWER title
    Red,         // #FF0000
    Inherited,   // none of its own: the window's palette
};
// |text| picks the text colour where the colour is the system's. Inherited
// gives an invalid colour.
QColor colour(Colour c, bool text);

} // namespace WindowKit
