#include "panel/buttonmap.h"

#include "facts/projector.h"
#include "panel/layout.h"

#include <QCoreApplication>
#include <QLatin1StringView>

namespace ButtonMap {

namespace {

constexpr Entry click(const char *button, const char *command)
{
    return {button, command, Style::Click, 0};
}

// An arrow sends the command of its hold kind, at the press and at every
// repeat alike.
constexpr Entry hold(const char *button, Projector::HoldKind kind)
{
    return {button, nullptr, Style::Hold, kind};
}

using enum Projector::HoldKind;

constexpr Entry kPanel[] = {
    // POWER
    click("Command17", "C00"),
    click("Command18", "C01"),
    // MODE SET
    click("Command27", "C05"),
    click("Command28", "C06"),
    click("Command53", "C07"),
    click("Command41", "C08"),
    // VIDEO MUTE
    click("Command21", "C0D"),
    click("Command22", "C0E"),
    // FREEZE
    click("Command25", "C43"),
    click("Command26", "C44"),
    // SCREEN
    click("Command31", "C0F"),
    click("Command32", "C10"),
    // LAMP MODE
    click("Command9", "CF LAMPMODE FULL"),
    click("Command68", "CF LAMPMODE HALF"),
    // MENU
    {"Command23", "C1C", Style::MenuOn, 0},
    click("Command24", "C1D"),
    click("Command6", "C3F"),
    hold("Command5", MenuUp),
    hold("Command7", MenuDown),
    hold("Command38", MenuLeft),
    hold("Command8", MenuRight),
    // KEYSTONE
    hold("Command10", KeystoneUp),
    hold("Command35", KeystoneDown),
    hold("Command4", KeystoneLeft),
    hold("Command11", KeystoneRight),
    // LENS SHIFT
    hold("Command12", LensShiftUp),
    hold("Command20", LensShiftDown),
    hold("Command15", LensShiftLeft),
    hold("Command19", LensShiftRight),
    // ZOOM
    hold("Command30", ZoomUp),
    hold("Command42", ZoomDown),
    // FOUCS
    hold("Command1", FocusUp),
    hold("Command2", FocusDown),
    // D.ZOOM
    hold("Command48", DigitalZoomUp),
    hold("Command49", DigitalZoomDown),
    // R/C KEY OFF
    click("Command60", "CF KEYDIS NONE"),
    click("Command61", "CF KEYDIS RC"),
    click("Command62", "CF KEYDIS KEY"),
    // On the window
    click("Command3", "C1E"),
    click("Command13", "C89"),
    click("Command14", "C8A"),
    {"Command16", nullptr, Style::End, 0},
};

constexpr Entry kQueries[] = {
    click("Command44", "CR0"), // STATUS
    click("Command45", "CR1"), // INPUT MODE
    click("Command54", "CR6"), // TEMP
    click("Command47", "CR4"), // SETTING
    click("Command46", "CR3"), // LAMP TIME
    click("Command55", "CRA"), // STATUS 2
    click("Command76", "CR7"), // LAMP MODE
    click("Command29", "CR9"), // PC TYPE
    click("Command73", "C27"), // IMAGE
};

static_assert(std::size(kPanel) == 42);

// The groups that hold arrows, as a listener hears them.
constexpr std::pair<const char *, const char *> kArrowGroups[] = {
    {"FrameMenu", "Menu"}, {"FrameKeystone", "Keystone"}, {"FrameLensShift", "Lens shift"},
    {"FrameZoom", "Zoom"}, {"FrameFocus", "Focus"},       {"FrameDZoom", "Digital zoom"},
};

QString tr(const char *text)
{
    return QCoreApplication::translate("ButtonMap", text);
}

} // namespace

std::span<const Entry> panelButtons()
{
    return kPanel;
}

std::span<const Entry> queryButtons()
{
    return kQueries;
}

const Entry *find(QStringView name)
{
    for (const auto table : {panelButtons(), queryButtons()}) {
        for (const Entry &e : table) {
            if (name == QLatin1StringView(e.button))
                return &e;
        }
    }
    return nullptr;
}

QString arrowName(const Entry &entry)
{
    const Layout::Control *control = Layout::find(QString::fromLatin1(entry.button));
    if (entry.style != Style::Hold || !control || !control->parent)
        return QString();
    const char *group = nullptr;
    for (const auto &[frame, words] : kArrowGroups) {
        if (qstrcmp(frame, control->parent) == 0)
            group = words;
    }
    const char *direction = nullptr;
    switch (Layout::arrowOf(*control)) {
    case Layout::Arrow::Up:
        direction = "up";
        break;
    case Layout::Arrow::Down:
        direction = "down";
        break;
    case Layout::Arrow::Left:
        direction = "left";
        break;
    case Layout::Arrow::Right:
        direction = "right";
        break;
    case Layout::Arrow::None:
        break;
    }
    if (!group || !direction)
        return QString();
    return tr(group) + QLatin1Char(' ') + tr(direction);
}

QString toolTip(const Entry &entry)
{
    if (entry.style == Style::Hold) {
        return tr("%1: sends %2, again every 100 ms while held")
            .arg(arrowName(entry), Projector::holdCommand(entry.holdKind));
    }
    if (!entry.command)
        return tr("Closes the window and ends the program");
    return tr("Sends %1").arg(QLatin1StringView(entry.command));
}

} // namespace ButtonMap
