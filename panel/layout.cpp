#include "panel/layout.h"

#include "panel/colourbutton.h"

#include <QPainter>
#include <QPainterPath>

namespace Layout {

namespace {

using WindowKit::Align;
using WindowKit::Bordered;
using WindowKit::FitCaption;
using WindowKit::HiddenAtStart;
using WindowKit::Kind;
using WindowKit::Plain;
using WindowKit::Selected;

// Row makers, so that each table row reads as name, parent, caption,
// rectangle, colours and font. Every label's caption is condensed where it
// would not fit.
constexpr Control frame(const char *name, int l, int t, int w, int h, Colour back = Colour::System)
{
    return {name, nullptr, Kind::Frame, "", l, t, w, h, 0, back, Colour::System};
}

constexpr Control title(const char *name, const char *parent, const char *caption, int l, int t,
                        int w, int h, Align align, int font, Colour back = Colour::System,
                        Colour fore = Colour::System)
{
    return {name, parent, Kind::Label, caption, l, t, w, h, 0, back, fore, font, align, FitCaption};
}

constexpr Control label(const char *name, const char *parent, const char *caption, int l, int t,
                        int w, int h, Colour back, Colour fore, int font, Align align, quint8 look)
{
    return {name, parent, Kind::Label, caption, l,    t,     w,
            h,    0,      back,        fore,    font, align, quint8(look | FitCaption)};
}

constexpr Control button(const char *name, const char *parent, const char *caption, int l, int t,
                         int w, int h, Colour back, int font)
{
    return {name, parent, Kind::Button, caption, l, t, w, h, 0, back, Colour::System, font};
}

constexpr Control arrow(const char *name, const char *parent, Arrow face, int l, int t)
{
    return {.name = name,
            .parent = parent,
            .kind = Kind::Button,
            .caption = "",
            .left = l,
            .top = t,
            .width = 735,
            .height = 300,
            .back = Colour::ArrowYellow,
            .fore = Colour::System,
            .variant = quint8(face)};
}

constexpr Control option(const char *name, const char *caption, int l, int w, quint8 look = Plain)
{
    return {name, "FrameAddress", Kind::Option,   caption, l,           240, w, 255,
            0,    Colour::System, Colour::System, 900,     Align::Left, look};
}

using C = Colour;
using A = Align;

// One table for the whole window; a frame's controls follow the window's
// own, in a block of their own.
constexpr Control kControls[] = {
    // The window's client area (10185 x 7620 twips): the frames, the buttons
    // that stand on the window and the legend lines.
    frame("FramePower", 120, 0, 1210, 1575, C::InactiveCaptionText),
    frame("FrameModeSet", 1450, 0, 5600, 735),
    frame("FrameScreen", 7170, 0, 2860, 735),
    frame("FrameVideoMute", 1450, 840, 2740, 735),
    frame("FrameFreeze", 4310, 840, 2740, 735),
    frame("FrameLampMode", 7170, 840, 2860, 735),
    frame("FrameMenu", 120, 1680, 2700, 1935),
    frame("FrameKeystone", 2940, 1680, 1830, 1935),
    frame("FrameLensShift", 4890, 1680, 1830, 1935),
    frame("FrameZoom", 6840, 1680, 990, 1500),
    frame("FrameFocus", 7940, 1680, 990, 1500),
    frame("FrameDZoom", 9035, 1680, 990, 1500),
    button("Command3", nullptr, "DISPLAY CLEAR", 6840, 3260, 1740, 300, C::Function, 900),
    button("Command73", nullptr, "IMAGE", 8760, 3260, 1200, 300, C::Function, 900),
    button("Command13", nullptr, "AUTO PC ADJ", 6840, 3620, 1740, 300, C::Function, 900),
    button("Command14", nullptr, "P-TIMER", 8760, 3620, 1200, 300, C::Function, 900),
    frame("FrameKeyOff", 120, 3720, 5240, 555),
    button("Command16", nullptr, "END", 8520, 4080, 1500, 375, C::System, 1200),
    // The monitor area: hidden below the compact window height.
    frame("FrameMonitor", 120, 4700, 8295, 948),
    label("Label28", nullptr, "[CR] :Carriage Return Code (0x0D)", 120, 5705, 3495, 255, C::Grey,
          C::Red, 975, A::Left, HiddenAtStart),
    label("Label27", nullptr, "_ :Space Code (0x20)", 4200, 5705, 2295, 255, C::Grey, C::Red, 975,
          A::Left, HiddenAtStart),
    label("Label19", nullptr, "[ACK]:ACKnowledge Code (0x06)", 120, 5880, 3495, 255, C::Grey,
          C::Red, 975, A::Left, HiddenAtStart),
    frame("FrameStatus", 120, 6140, 6105, 560),
    button("Command44", nullptr, "STATUS", 8520, 4687, 1500, 346, C::Status, 975),
    button("Command45", nullptr, "INPUT MODE", 8520, 5033, 1500, 346, C::Status, 975),
    button("Command54", nullptr, "TEMP", 8520, 5379, 1500, 346, C::Status, 975),
    button("Command47", nullptr, "SETTING", 8520, 5725, 1500, 346, C::Status, 975),
    button("Command46", nullptr, "LAMP TIME", 8520, 6071, 1500, 346, C::Status, 975),
    button("Command55", nullptr, "STATUS 2", 8520, 6417, 1500, 346, C::Status, 900),
    button("Command76", nullptr, "LAMP MODE", 8520, 6763, 1500, 346, C::Status, 900),
    button("Command29", nullptr, "PC TYPE", 8520, 7109, 1500, 346, C::Status, 900),
    button("Command74", nullptr, "Command Table", 6480, 5880, 1850, 375, C::System, 975),
    button("Command33", nullptr, "COM", 6480, 6350, 1850, 375, C::System, 975),
    frame("FrameAddress", 120, 6840, 8200, 615),

    // FramePower
    title("Label1", "FramePower", "POWER", 280, 240, 735, 255, A::Centre, 900,
          C::InactiveCaptionText, C::DarkRed),
    button("Command17", "FramePower", "On", 180, 600, 870, 300, C::On, 900),
    button("Command18", "FramePower", "Off", 180, 1080, 870, 300, C::Off, 900),

    // FrameModeSet
    title("Label2", "FrameModeSet", "MODE SET", 2000, 120, 1815, 255, A::Centre, 900),
    button("Command27", "FrameModeSet", "INPUT 1", 120, 360, 1250, 300, C::Function, 975),
    button("Command28", "FrameModeSet", "INPUT 2", 1490, 360, 1250, 300, C::Function, 975),
    button("Command53", "FrameModeSet", "INPUT 3", 2860, 360, 1250, 300, C::Function, 975),
    button("Command41", "FrameModeSet", "INPUT 4", 4230, 360, 1250, 300, C::Function, 975),

    // FrameScreen
    title("Label6", "FrameScreen", "SCREEN", 960, 120, 975, 255, A::Centre, 900),
    button("Command31", "FrameScreen", "Normal", 120, 360, 1250, 300, C::Function, 975),
    button("Command32", "FrameScreen", "Wide", 1490, 360, 1250, 300, C::Function, 975),

    // FrameVideoMute
    title("Label5", "FrameVideoMute", "VIDEO MUTE", 840, 120, 1215, 255, A::Left, 900),
    button("Command21", "FrameVideoMute", "On", 120, 360, 1190, 300, C::On, 900),
    button("Command22", "FrameVideoMute", "Off", 1430, 360, 1190, 300, C::Off, 900),

    // FrameFreeze
    title("Label8", "FrameFreeze", "FREEZE", 720, 120, 1215, 255, A::Centre, 900),
    button("Command25", "FrameFreeze", "On", 120, 360, 1190, 300, C::On, 900),
    button("Command26", "FrameFreeze", "Off", 1430, 360, 1190, 300, C::Off, 900),

    // FrameLampMode
    title("Label18", "FrameLampMode", "LAMP MODE", 920, 120, 1200, 255, A::Left, 900),
    // "FULL" stands 20 twips lower than "HALF".
    button("Command9", "FrameLampMode", "FULL", 120, 380, 1250, 300, C::Function, 900),
    button("Command68", "FrameLampMode", "HALF", 1490, 360, 1250, 300, C::Function, 900),

    // FrameMenu
    title("Label7", "FrameMenu", "MENU", 960, 120, 975, 255, A::Centre, 900),
    button("Command23", "FrameMenu", "On", 120, 460, 750, 300, C::On, 900),
    button("Command24", "FrameMenu", "Off", 120, 940, 750, 300, C::Off, 900),
    button("Command6", "FrameMenu", "Enter", 120, 1420, 750, 300, C::Enter, 900),
    arrow("Command5", "FrameMenu", Arrow::Up, 1440, 460),
    arrow("Command38", "FrameMenu", Arrow::Left, 990, 940),
    arrow("Command8", "FrameMenu", Arrow::Right, 1845, 940),
    arrow("Command7", "FrameMenu", Arrow::Down, 1440, 1420),

    // FrameKeystone
    title("Label13", "FrameKeystone", "KEYSTONE", 450, 120, 1020, 255, A::Left, 900),
    arrow("Command10", "FrameKeystone", Arrow::Up, 548, 460),
    arrow("Command4", "FrameKeystone", Arrow::Left, 120, 940),
    arrow("Command11", "FrameKeystone", Arrow::Right, 975, 940),
    arrow("Command35", "FrameKeystone", Arrow::Down, 548, 1420),

    // FrameLensShift
    title("Label4", "FrameLensShift", "LENS SHIFT", 360, 120, 1215, 255, A::Left, 900),
    arrow("Command12", "FrameLensShift", Arrow::Up, 548, 480),
    arrow("Command15", "FrameLensShift", Arrow::Left, 120, 960),
    arrow("Command19", "FrameLensShift", Arrow::Right, 975, 960),
    arrow("Command20", "FrameLensShift", Arrow::Down, 548, 1440),

    // FrameZoom
    title("Label16", "FrameZoom", "ZOOM", 240, 120, 555, 255, A::Left, 900),
    arrow("Command30", "FrameZoom", Arrow::Up, 120, 480),
    arrow("Command42", "FrameZoom", Arrow::Down, 120, 960),

    // FrameFocus
    // Spelled so on the window.
    title("Label3", "FrameFocus", "FOUCS", 120, 120, 735, 255, A::Centre, 900),
    arrow("Command1", "FrameFocus", Arrow::Up, 120, 480),
    arrow("Command2", "FrameFocus", Arrow::Down, 120, 960),

    // FrameDZoom
    title("Label17", "FrameDZoom", "D.ZOOM", 120, 120, 700, 255, A::Left, 900),
    arrow("Command48", "FrameDZoom", Arrow::Up, 120, 480),
    arrow("Command49", "FrameDZoom", Arrow::Down, 120, 960),

    // FrameKeyOff
    title("Label14", "FrameKeyOff", "R/C KEY OFF", 120, 220, 1335, 255, A::Centre, 975),
    button("Command60", "FrameKeyOff", "NONE", 1560, 150, 1095, 300, C::Function, 975),
    button("Command61", "FrameKeyOff", "R/C", 2760, 150, 1095, 300, C::Function, 975),
    button("Command62", "FrameKeyOff", "KEY", 3990, 150, 1095, 300, C::Function, 975),

    // FrameMonitor
    label("Label9", "FrameMonitor", "TxD", 120, 240, 372, 252, C::System, C::System, 975, A::Right,
          Plain),
    label("Label11", "FrameMonitor", "", 600, 195, 7575, 300, C::White, C::System, 1200, A::Left,
          Bordered),
    label("Label10", "FrameMonitor", "RxD", 120, 612, 372, 180, C::System, C::System, 975, A::Right,
          Plain),
    label("Label12", "FrameMonitor", "", 585, 555, 7575, 300, C::White, C::System, 1200, A::Left,
          Bordered),

    // FrameStatus
    title("Label26", "FrameStatus", "STATUS", 120, 210, 855, 180, A::Left, 975),
    label("Label25", "FrameStatus", "", 1020, 135, 4950, 285, C::White, C::Red, 1050, A::Left,
          Bordered),

    // FrameAddress
    title("Label15", "FrameAddress", "Command with Address", 120, 240, 2535, 255, A::Left, 975),
    option("Option1", "SINGLE", 2880, 975, Selected),
    option("Option2", "ALL", 3960, 700),
    option("Option3", "001", 4800, 700),
    option("Option4", "002", 5640, 700),
    option("Option5", "003", 6480, 700),
    option("Option6", "004", 7320, 700),
};

// Every button paints its own face: the same under every widget style, and
// far cheaper to make than a style sheet per button. An arrow button shows
// its arrow's picture.
QWidget *makeButton(const Control &c, QWidget *parent)
{
    if (c.kind != Kind::Button)
        return nullptr;
    auto *b = new ColourButton(QString::fromLatin1(c.caption), parent);
    b->setAutoDefault(false);
    if (c.back != Colour::System)
        b->setColour(colour(c.back, false));
    if (const Arrow face = arrowOf(c); face != Arrow::None) {
        const QPixmap picture = arrowPicture(face);
        b->setIcon(QIcon(picture));
        b->setIconSize(picture.size());
    }
    return b;
}
} // namespace

const Control *find(QStringView name)
{
    return WindowKit::find(kControls, name);
}

Arrow arrowOf(const Control &control)
{
    return Arrow(control.variant);
}

QPixmap arrowPicture(Arrow arrow)
{
    constexpr int W = 17;
    constexpr int H = 9;
    QPixmap picture(W, H);
    picture.fill(QColor(0xFF, 0xFF, 0x00));
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    switch (arrow) {
    case Arrow::Up:
    case Arrow::Down:
        // Row r from the apex is 2r + 1 pixels wide; the ninth row is the
        // 17-pixel base.
        for (int r = 0; r < H; ++r) {
            const int y = arrow == Arrow::Up ? r : H - 1 - r;
            p.drawRect(QRect(W / 2 - r, y, 2 * r + 1, 1));
        }
        break;
    case Arrow::Left:
    case Arrow::Right:
        // Column c from the apex spans the middle row plus c/4 (rounded)
        // rows each way; the seventeenth column is the 9-pixel base.
        for (int c = 0; c < W; ++c) {
            const int half = (c * (H / 2) + (W - 1) / 2) / (W - 1);
            const int x = arrow == Arrow::Left ? c : W - 1 - c;
            p.drawRect(QRect(x, H / 2 - half, 1, 2 * half + 1));
        }
        break;
    case Arrow::None:
        break;
    }
    return picture;
}

QPixmap programIcon()
{
    // A projector seen from the front: a grey body, a lens and a beam.
    QPixmap icon(32, 32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath beam;
    beam.moveTo(21, 13);
    beam.lineTo(32, 2);
    beam.lineTo(32, 24);
    beam.closeSubpath();
    p.fillPath(beam, QColor(0xFF, 0xFF, 0x80, 0xC0));
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.5));
    p.setBrush(QColor(0xA0, 0xA0, 0xA8));
    p.drawRoundedRect(QRectF(2.5, 9.5, 24, 14), 3, 3);
    p.setBrush(QColor(0x20, 0x40, 0x80));
    p.drawEllipse(QPointF(19, 16.5), 5, 5);
    p.setBrush(QColor(0x80, 0xC0, 0xFF));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(18, 15.5), 1.8, 1.8);
    p.setBrush(QColor(0x00, 0xC0, 0x00));
    p.drawEllipse(QPointF(7, 13), 1.5, 1.5);
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.drawRect(QRectF(6, 24, 3, 3));
    p.drawRect(QRectF(21, 24, 3, 3));
    return icon;
}

QHash<QString, QWidget *> build(QWidget *window)
{
    return WindowKit::build(window, kControls, makeButton).byName;
}

} // namespace Layout
