#include "console/form3.h"

#include "protocol/catalogue.h"
#include "widgets/controltable.h"
#include "widgets/windowkit.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

using WindowKit::Colour;
using WindowKit::Control;
using WindowKit::Kind;

// Buttons and hints are bold; the text box and the lists take the window's
// regular weight.
constexpr Control button(const char *name, const char *caption, int l, int t, int w, int h, int tab)
{
    return {name, nullptr, Kind::Button,      caption,           l,  t, w,
            h,    tab,     Colour::Inherited, Colour::Inherited, 975};
}

constexpr Control hint(const char *name, const char *caption, int l, int t, int w, int h, int tab)
{
    return {name, nullptr, Kind::Label, caption,           l,           t,
            w,    h,       tab,         Colour::Inherited, Colour::Red, 975};
}

constexpr Control box(const char *name, Kind kind, int l, int t, int w, int h, int tab)
{
    return {name, nullptr, kind, nullptr, l, t, w, h, tab};
}

// The three lists lie on top of one another at top 1560; only one shows.
// clang-format off
constexpr Control kControls[] = {
    button("Command3", "Basic Command List",                 120,  120, 2415, 375,  3),
    button("Command4", "Expand Command List",               2760,  120, 2655, 375,  5),
    button("Command5", "Expand Read Command List",          5760,  120, 3015, 375,  6),
    button("Command1", "SEND",                              9000,  680,  855, 375,  1),
    button("Command2", "CLOSE",                             9000, 1320,  855, 375,  2),
    box("Text1",  Kind::TextBox,                             120,  720, 8655, 300,  4),
    hint("Label2",   "[CR] :Carriage Return Code (0x0D)",    240, 1200, 3975, 300, 10),
    hint("Label1",   "% :Parameter (0-9).",                 4560, 1200, 2895, 300,  7),
    box("Combo1", Kind::List,                                120, 1560, 5055, 300,  0),
    box("Combo2", Kind::ChoiceList,                          120, 1560, 8655, 300,  8),
    box("Combo3", Kind::ChoiceList,                          120, 1560, 8655, 300,  9),
};
// clang-format on

const QLatin1StringView kCrMark{"[CR]"};

} // namespace

Form3::Form3(QWidget &main)
    : QWidget(&main, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                         | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_main(&main)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Command List"));
    // Closing unloads the console; the next "Command Table" loads it afresh.
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    Form_Load();
}

// Nothing here may reach the main window: the console is also destroyed as
// a child while the main window itself is being destroyed.
Form3::~Form3() = default;

void Form3::buildControls()
{
    setFont(WindowKit::font(9, false));
    const WindowKit::Controls made = WindowKit::build(this, kControls);
    Command1 = made.get<QPushButton>("Command1");
    Command2 = made.get<QPushButton>("Command2");
    Command3 = made.get<QPushButton>("Command3");
    Command4 = made.get<QPushButton>("Command4");
    Command5 = made.get<QPushButton>("Command5");
    Text1 = made.get<QLineEdit>("Text1");
    Label1 = made.get<QLabel>("Label1");
    Label2 = made.get<QLabel>("Label2");
    Combo1 = made.get<QComboBox>("Combo1");
    Combo2 = made.get<QComboBox>("Combo2");
    Combo3 = made.get<QComboBox>("Combo3");

    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form3::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form3::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form3::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form3::Command5_Click);
    connect(Text1, &QLineEdit::textChanged, this, &Form3::Text1_Change);
    // activated: a row chosen by the operator (mouse, keys), even the one
    // already shown. Choices made by code go through chooseRow.
    connect(Combo1, &QComboBox::activated, this, &Form3::Combo1_Click);
    connect(Combo2, &QComboBox::activated, this, &Form3::Combo2_Click);
    connect(Combo3, &QComboBox::activated, this, &Form3::Combo3_Click);

    Combo1->addItems(Catalogue::basicRows());
    Combo2->addItems(Catalogue::settingRows());
    Combo3->addItems(Catalogue::readRows());
    // The lists' names. Where a list's accessible name is its chosen row (as
    // on Linux), an assistive tool takes the name from the label that names
    // the list, so each list gets one; it is never shown, as the window has
    // no room for captions.
    for (const auto &[list, name] : {std::pair{Combo1, tr("Basic commands")},
                                     std::pair{Combo2, tr("Extended setting commands")},
                                     std::pair{Combo3, tr("Extended read commands")}}) {
        list->setAccessibleName(name);
        auto *caption = new QLabel(name, this);
        caption->setObjectName(list->objectName() + QStringLiteral("Caption"));
        caption->setBuddy(list);
        caption->hide();
    }
    // The open list is as wide as its longest row, so that no description
    // is cut off, even where the closed list is narrower.
    for (QComboBox *list : {Combo1, Combo2, Combo3})
        list->view()->setMinimumWidth(list->view()->sizeHintForColumn(0));

    // The first control in the tab order (the lowest number, not the first
    // row of the table) has the focus when the console opens.
    made.firstTabStop->setFocus();
}

void Form3::Form_Load()
{
    Combo1->show();
    setFixedSize(WindowKit::px(ClientWidth), WindowKit::px(LoadHeight - WindowKit::FrameAllowance));
    Combo2->hide();
    Combo3->hide();
    Label1->hide();
    Label2->hide();
    // Choosing the row sets ConsoleCommand and the text box from it.
    chooseRow(Combo1, 0);
}

void Form3::chooseRow(QComboBox *list, int row)
{
    list->setCurrentIndex(row);
    rowChosen(list);
}

void Form3::Combo1_Click()
{
    rowChosen(Combo1);
}

void Form3::Combo2_Click()
{
    rowChosen(Combo2);
}

void Form3::Combo3_Click()
{
    rowChosen(Combo3);
}

void Form3::rowChosen(QComboBox *list)
{
    Label2->show();
    const QString row = list->itemText(list->currentIndex());
    // Only a setting row can carry placeholders; its description says so
    // when the command itself does not show them.
    const bool toDigits = list == Combo2 && row.contains(QLatin1Char('%'));
    if (list == Combo2) {
        if (toDigits) {
            Label1->show();
            Text1->setFocus();
        } else {
            Label1->hide();
        }
    }
    takeCommandFrom(row);
    if (toDigits)
        selectPlaceholders();
}

// The operator types the digits over the placeholders: the run of "%"
// is selected, so that typing replaces it. A command without one takes
// the caret before its "[CR]" mark, where typing still counts.
void Form3::selectPlaceholders()
{
    const QString command = Catalogue::commandPart(Text1->text());
    const qsizetype start = command.indexOf(QLatin1Char('%'));
    if (start < 0) {
        Text1->setCursorPosition(int(command.size()));
        return;
    }
    qsizetype end = start;
    while (end < command.size() && command[end] == QLatin1Char('%'))
        ++end;
    Text1->setSelection(int(start), int(end - start));
}

// ConsoleCommand and Text1 from a row: its command part, with the carriage
// return as the character and as the visible mark respectively.
void Form3::takeCommandFrom(const QString &row)
{
    const QString command = Catalogue::commandPart(row);
    ConsoleCommand = command + QLatin1Char('\r');
    Text1->setText(command + kCrMark);
}

void Form3::Text1_Change()
{
    ConsoleCommand = Catalogue::commandPart(Text1->text()) + QLatin1Char('\r');
}

void Form3::switchList(QComboBox *target)
{
    for (QComboBox *list : {Combo1, Combo2, Combo3}) {
        if (list != target)
            list->hide();
    }
    target->show();
    // The list comes back at its first row, chosen as the operator would:
    // that also sets ConsoleCommand and the text box.
    chooseRow(target, 0);
}

void Form3::Command3_Click()
{
    switchList(Combo1);
}

void Form3::Command4_Click()
{
    switchList(Combo2);
}

void Form3::Command5_Click()
{
    switchList(Combo3);
}

QString Form3::lineText(const QString &command)
{
    QString out;
    out.reserve(command.size());
    // By code point, so that a character outside the basic plane (two
    // UTF-16 units) still becomes a single '?'. Lone surrogates come out of
    // toUcs4 as U+FFFD and become '?' as well.
    for (const char32_t c : command.toUcs4())
        out += c <= 0xFF ? QChar(char16_t(c)) : QChar(u'?');
    return out;
}

void Form3::Command1_Click()
{
    // ConsoleCommand stays as it is: each SEND carries the address prefix
    // once.
    emit sendRequested(lineText(ConsoleCommand));
    Label1->hide();
    Label2->hide();
}

void Form3::Command2_Click()
{
    if (!m_main)
        return;
    QWidget &main = *m_main;
    m_closingByButton = true;
    close();
    main.show();
    emit left();
}

void Form3::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!m_main)
        return;
    emit unloaded();
    // The close box (or the main window closing) leaves by the same door as
    // CLOSE: the status frame must not stay hidden for the rest of the run.
    if (!m_closingByButton)
        emit left();
}
