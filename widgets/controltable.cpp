#include "widgets/controltable.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <utility>
#include <vector>

namespace WindowKit {

namespace {

QString captionOf(const Control &c)
{
    return c.caption ? QString::fromLatin1(c.caption) : QString();
}

bool holds(const char *parent, const char *frame)
{
    if (!parent || !frame)
        return parent == frame;
    return qstrcmp(parent, frame) == 0;
}

Qt::Alignment alignment(Align a)
{
    switch (a) {
    case Align::Centre:
        return Qt::AlignTop | Qt::AlignHCenter;
    case Align::Right:
        return Qt::AlignTop | Qt::AlignRight;
    case Align::Left:
    case Align::Auto:
        break;
    }
    return Qt::AlignTop | Qt::AlignLeft;
}

QWidget *makeStandard(const Control &c, QWidget *parent)
{
    switch (c.kind) {
    case Kind::Frame: {
        auto *f = new QFrame(parent);
        f->setFrameStyle(QFrame::Box | QFrame::Sunken); // etched line
        f->setLineWidth(1);
        return f;
    }
    case Kind::TitledFrame:
        return new QGroupBox(captionOf(c), parent);
    case Kind::Label: {
        auto *l = new QLabel(captionOf(c), parent);
        // The displays show what came off the line exactly as rendered: a
        // reply such as "<b>" is text, never markup.
        l->setTextFormat(Qt::PlainText);
        if (c.align != Align::Auto) {
            l->setAlignment(alignment(c.align));
            // Text starts at the border, also on framed labels (where Qt
            // would otherwise indent it by half an "x" from the top and the
            // side).
            l->setIndent(0);
        }
        if (c.look & Bordered) {
            l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            l->setLineWidth(1);
        }
        return l;
    }
    case Kind::Button: {
        // No default button: Return in a text box must not press one.
        auto *b = new QPushButton(captionOf(c), parent);
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    }
    case Kind::Option: {
        auto *o = new QRadioButton(captionOf(c), parent);
        if (c.look & Selected)
            o->setChecked(true);
        return o;
    }
    case Kind::TextBox:
        return new QLineEdit(captionOf(c), parent);
    case Kind::List:
    case Kind::ChoiceList: {
        auto *combo = new QComboBox(parent);
        if (c.kind == Kind::ChoiceList) {
            // Looks like an editable combo box, but the edit field only ever
            // shows the chosen row.
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setCompleter(nullptr);
            combo->lineEdit()->setReadOnly(true);
        }
        return combo;
    }
    }
    return nullptr;
}

void paint(QWidget *w, Colour back, Colour fore)
{
    if (back == Colour::Inherited && fore == Colour::Inherited)
        return;
    QPalette p = w->palette();
    if (back != Colour::Inherited) {
        p.setColor(QPalette::Window, colour(back, false));
        p.setColor(QPalette::Button, colour(back, false));
    }
    if (fore != Colour::Inherited)
        p.setColor(QPalette::WindowText, colour(fore, true));
    w->setPalette(p);
    if (back != Colour::Inherited)
        w->setAutoFillBackground(true);
}

// The stand-in for the window's font may run wider than the font the window
// was drawn for: a caption that would be cut off at its box's edges is
// condensed until it fits.
void fitCaption(QLabel *label)
{
    QFont condensed = label->font();
    const int room = label->contentsRect().width();
    for (int stretch = 99;
         stretch >= 80 && QFontMetrics(condensed).horizontalAdvance(label->text()) > room;
         --stretch)
        condensed.setStretch(stretch);
    label->setFont(condensed);
}

struct Builder {
    std::span<const Control> table;
    Maker maker;
    Controls made;
    std::vector<std::pair<int, QWidget *>> tabStops;

    QWidget *make(const Control &c, QWidget *parent)
    {
        QWidget *w = maker ? maker(c, parent) : nullptr;
        if (!w)
            w = makeStandard(c, parent);
        w->setObjectName(QString::fromLatin1(c.name));
        w->setGeometry(toPixels(c.left, c.top, c.width, c.height));
        if (c.kind != Kind::Button)
            paint(w, c.back, c.fore);
        if (c.fontHundredths > 0)
            w->setFont(font(c.fontHundredths / 100.0, true));
        if (c.kind == Kind::Label && (c.look & FitCaption) && c.caption && *c.caption)
            fitCaption(static_cast<QLabel *>(w));
        if (c.look & HiddenAtStart)
            w->hide();
        return w;
    }

    // The controls |frame| holds (the window's own for nullptr), each frame
    // followed by its contents.
    void buildIn(const char *frame, QWidget *container)
    {
        for (const Control &c : table) {
            if (!holds(c.parent, frame))
                continue;
            QWidget *w = make(c, container);
            made.byName.insert(QString::fromLatin1(c.name), w);
            if (w->focusPolicy() & Qt::TabFocus)
                tabStops.emplace_back(c.tab, w);
            if (c.kind == Kind::Frame || c.kind == Kind::TitledFrame)
                buildIn(c.name, w);
        }
    }
};

} // namespace

Controls build(QWidget *window, std::span<const Control> table, Maker maker)
{
    Builder b{table, maker, {}, {}};
    b.buildIn(nullptr, window);
    setTabOrder(b.tabStops);
    if (!b.tabStops.empty()) {
        b.made.firstTabStop =
            std::min_element(b.tabStops.begin(), b.tabStops.end(),
                             [](const auto &x, const auto &y) { return x.first < y.first; })
                ->second;
    }
    return b.made;
}

const Control *find(std::span<const Control> table, QStringView name)
{
    for (const Control &c : table) {
        if (name == QLatin1StringView(c.name))
            return &c;
    }
    return nullptr;
}

} // namespace WindowKit
