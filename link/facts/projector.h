#pragma once

#include <QString>
#include <QStringView>

#include <iterator>

// What the program knows about the projector and its line, kept here once:
// the port numbers, the address options and their prefixes, the baud codes
// and the command behind each arrow. The windows, orvactl and the simulated
// projector all take them from here.
namespace Projector {

// The port numbers the program offers: COM1 to COM15.
inline constexpr int FirstPort = 1;
inline constexpr int LastPort = 15;

constexpr bool isPort(int number)
{
    return number >= FirstPort && number <= LastPort;
}

// The address options in the window's order (Option1 to Option6): the name
// that orvactl's --address takes, and the prefix put before every command.
struct AddressOption {
    const char *name;
    const char *prefix;
};

inline constexpr AddressOption AddressOptions[] = {
    {"none", ""},    {"all", "AFFF"}, {"001", "A001"},
    {"002", "A002"}, {"003", "A003"}, {"004", "A004"},
};

inline constexpr int AddressOptionCount = int(std::size(AddressOptions));

// The index in AddressOptions of the option whose prefix is exactly
// |prefix|; 0 ("none") for any other text.
inline int addressOption(QStringView prefix)
{
    for (int i = 1; i < AddressOptionCount; ++i) {
        if (prefix == QLatin1StringView(AddressOptions[i].prefix))
            return i;
    }
    return 0;
}

// The baud codes: 96 is 9600 baud, 192 is 19200 baud.
inline constexpr quint8 Baud9600 = 96;
inline constexpr quint8 Baud19200 = 192;

// The baud code as the line uses it: 96 stays, anything else is 192.
constexpr quint8 normalBaudCode(int code)
{
    return code == Baud9600 ? Baud9600 : Baud19200;
}

// The line settings text for a baud code.
inline QString settingsFor(int baudCode)
{
    return normalBaudCode(baudCode) == Baud9600 ? QStringLiteral("9600,N,8,1")
                                                : QStringLiteral("19200,N,8,1");
}

// The arrows' hold kinds, named by the arrow's group and the direction of its
// picture. A held arrow repeats the command of its kind.
enum HoldKind : quint8 {
    ZoomUp = 1,
    ZoomDown,
    MenuUp,
    MenuDown,
    MenuLeft,
    MenuRight,
    FocusUp,
    FocusDown,
    DigitalZoomUp,
    DigitalZoomDown,
    KeystoneUp,
    KeystoneDown,
    KeystoneLeft,
    KeystoneRight,
    LensShiftUp,
    LensShiftDown,
    LensShiftLeft,
    LensShiftRight,
};

struct Arrow {
    HoldKind kind;
    const char *command; // without the carriage return
};

// The keystone's left arrow sends C91 and its right arrow C90, the
// projector's own sense of left and right for the keystone.
// clang-format off
inline constexpr Arrow Arrows[] = {
    {ZoomUp, "C47"},          {ZoomDown, "C46"},
    {MenuUp, "C3C"},          {MenuDown, "C3D"},      {MenuLeft, "C3B"},      {MenuRight, "C3A"},
    {FocusUp, "C4B"},         {FocusDown, "C4A"},
    {DigitalZoomUp, "C30"},   {DigitalZoomDown, "C31"},
    {KeystoneUp, "C8E"},      {KeystoneDown, "C8F"},  {KeystoneLeft, "C91"},  {KeystoneRight, "C90"},
    {LensShiftUp, "C5D"},     {LensShiftDown, "C5E"}, {LensShiftLeft, "C5F"}, {LensShiftRight, "C60"},
};
// clang-format on

// The command that hold kind |kind| repeats; empty for a kind that is none.
inline QString holdCommand(int kind)
{
    for (const Arrow &arrow : Arrows) {
        if (arrow.kind == kind)
            return QString::fromLatin1(arrow.command);
    }
    return QString();
}

} // namespace Projector
