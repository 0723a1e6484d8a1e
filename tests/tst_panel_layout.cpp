// The main window as the operator sees it: where every control stands, how
// it looks, what the two window heights show, and the Ctrl+H shortcut.
#include "common/testenv.h"
#include "panel/form1.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWindow>

#include <map>

namespace {

enum Area : quint8 {
    Upper,   // the control area, shown at both heights
    Monitor, // the monitor area, shown at the full height only
    Legend,  // a legend line: hidden until a mark calls for it
};

enum Align : quint8 { NoAlign, L, C, R };

// The window's description, written out independently of the program's own
// tables: name, container ("" = the window), caption, rectangle in twips,
// font size in hundredths of a point (0: no text), back colour (0: the
// system colour), label alignment, area.
struct Row {
    const char *name;
    const char *parent;
    const char *caption;
    int l, t, w, h;
    int font;
    QRgb back;
    Align align;
    Area area;
};

constexpr QRgb On = 0xFF80FF80, Off = 0xFFFF8080, Enter = 0xFFFFC080, Yel = 0xFFFFFF80,
               Fn = 0xFF00C0C0, St = 0xFFC0FFFF, White = 0xFFFFFFFF, Grey = 0xFFC0C0C0;

// clang-format off
const Row kRows[] = {
    // Frames and group titles.
    {"FramePower", "", "", 120, 0, 1210, 1575, 0, 0, NoAlign, Upper},
    {"Label1", "FramePower", "POWER", 280, 240, 735, 255, 900, 0, C, Upper},
    {"FrameModeSet", "", "", 1450, 0, 5600, 735, 0, 0, NoAlign, Upper},
    {"Label2", "FrameModeSet", "MODE SET", 2000, 120, 1815, 255, 900, 0, C, Upper},
    {"FrameScreen", "", "", 7170, 0, 2860, 735, 0, 0, NoAlign, Upper},
    {"Label6", "FrameScreen", "SCREEN", 960, 120, 975, 255, 900, 0, C, Upper},
    {"FrameVideoMute", "", "", 1450, 840, 2740, 735, 0, 0, NoAlign, Upper},
    {"Label5", "FrameVideoMute", "VIDEO MUTE", 840, 120, 1215, 255, 900, 0, L, Upper},
    {"FrameFreeze", "", "", 4310, 840, 2740, 735, 0, 0, NoAlign, Upper},
    {"Label8", "FrameFreeze", "FREEZE", 720, 120, 1215, 255, 900, 0, C, Upper},
    {"FrameLampMode", "", "", 7170, 840, 2860, 735, 0, 0, NoAlign, Upper},
    {"Label18", "FrameLampMode", "LAMP MODE", 920, 120, 1200, 255, 900, 0, L, Upper},
    {"FrameMenu", "", "", 120, 1680, 2700, 1935, 0, 0, NoAlign, Upper},
    {"Label7", "FrameMenu", "MENU", 960, 120, 975, 255, 900, 0, C, Upper},
    {"FrameKeystone", "", "", 2940, 1680, 1830, 1935, 0, 0, NoAlign, Upper},
    {"Label13", "FrameKeystone", "KEYSTONE", 450, 120, 1020, 255, 900, 0, L, Upper},
    {"FrameLensShift", "", "", 4890, 1680, 1830, 1935, 0, 0, NoAlign, Upper},
    {"Label4", "FrameLensShift", "LENS SHIFT", 360, 120, 1215, 255, 900, 0, L, Upper},
    {"FrameZoom", "", "", 6840, 1680, 990, 1500, 0, 0, NoAlign, Upper},
    {"Label16", "FrameZoom", "ZOOM", 240, 120, 555, 255, 900, 0, L, Upper},
    {"FrameFocus", "", "", 7940, 1680, 990, 1500, 0, 0, NoAlign, Upper},
    {"Label3", "FrameFocus", "FOUCS", 120, 120, 735, 255, 900, 0, C, Upper},
    {"FrameDZoom", "", "", 9035, 1680, 990, 1500, 0, 0, NoAlign, Upper},
    {"Label17", "FrameDZoom", "D.ZOOM", 120, 120, 700, 255, 900, 0, L, Upper},
    {"FrameKeyOff", "", "", 120, 3720, 5240, 555, 0, 0, NoAlign, Upper},
    {"Label14", "FrameKeyOff", "R/C KEY OFF", 120, 220, 1335, 255, 975, 0, C, Upper},
    {"FrameMonitor", "", "", 120, 4700, 8295, 948, 0, 0, NoAlign, Monitor},
    {"FrameStatus", "", "", 120, 6140, 6105, 560, 0, 0, NoAlign, Monitor},
    {"Label26", "FrameStatus", "STATUS", 120, 210, 855, 180, 975, 0, L, Monitor},
    {"FrameAddress", "", "", 120, 6840, 8200, 615, 0, 0, NoAlign, Monitor},
    {"Label15", "FrameAddress", "Command with Address", 120, 240, 2535, 255, 975, 0, L, Monitor},
    // Buttons.
    {"Command17", "FramePower", "On", 180, 600, 870, 300, 900, On, NoAlign, Upper},
    {"Command18", "FramePower", "Off", 180, 1080, 870, 300, 900, Off, NoAlign, Upper},
    {"Command27", "FrameModeSet", "INPUT 1", 120, 360, 1250, 300, 975, Fn, NoAlign, Upper},
    {"Command28", "FrameModeSet", "INPUT 2", 1490, 360, 1250, 300, 975, Fn, NoAlign, Upper},
    {"Command53", "FrameModeSet", "INPUT 3", 2860, 360, 1250, 300, 975, Fn, NoAlign, Upper},
    {"Command41", "FrameModeSet", "INPUT 4", 4230, 360, 1250, 300, 975, Fn, NoAlign, Upper},
    {"Command31", "FrameScreen", "Normal", 120, 360, 1250, 300, 975, Fn, NoAlign, Upper},
    {"Command32", "FrameScreen", "Wide", 1490, 360, 1250, 300, 975, Fn, NoAlign, Upper},
    {"Command21", "FrameVideoMute", "On", 120, 360, 1190, 300, 900, On, NoAlign, Upper},
    {"Command22", "FrameVideoMute", "Off", 1430, 360, 1190, 300, 900, Off, NoAlign, Upper},
    {"Command25", "FrameFreeze", "On", 120, 360, 1190, 300, 900, On, NoAlign, Upper},
    {"Command26", "FrameFreeze", "Off", 1430, 360, 1190, 300, 900, Off, NoAlign, Upper},
    {"Command9", "FrameLampMode", "FULL", 120, 380, 1250, 300, 900, Fn, NoAlign, Upper},
    {"Command68", "FrameLampMode", "HALF", 1490, 360, 1250, 300, 900, Fn, NoAlign, Upper},
    {"Command23", "FrameMenu", "On", 120, 460, 750, 300, 900, On, NoAlign, Upper},
    {"Command24", "FrameMenu", "Off", 120, 940, 750, 300, 900, Off, NoAlign, Upper},
    {"Command6", "FrameMenu", "Enter", 120, 1420, 750, 300, 900, Enter, NoAlign, Upper},
    {"Command5", "FrameMenu", "", 1440, 460, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command38", "FrameMenu", "", 990, 940, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command8", "FrameMenu", "", 1845, 940, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command7", "FrameMenu", "", 1440, 1420, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command10", "FrameKeystone", "", 548, 460, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command4", "FrameKeystone", "", 120, 940, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command11", "FrameKeystone", "", 975, 940, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command35", "FrameKeystone", "", 548, 1420, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command12", "FrameLensShift", "", 548, 480, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command15", "FrameLensShift", "", 120, 960, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command19", "FrameLensShift", "", 975, 960, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command20", "FrameLensShift", "", 548, 1440, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command30", "FrameZoom", "", 120, 480, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command42", "FrameZoom", "", 120, 960, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command1", "FrameFocus", "", 120, 480, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command2", "FrameFocus", "", 120, 960, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command48", "FrameDZoom", "", 120, 480, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command49", "FrameDZoom", "", 120, 960, 735, 300, 0, Yel, NoAlign, Upper},
    {"Command3", "", "DISPLAY CLEAR", 6840, 3260, 1740, 300, 900, Fn, NoAlign, Upper},
    {"Command73", "", "IMAGE", 8760, 3260, 1200, 300, 900, Fn, NoAlign, Upper},
    {"Command13", "", "AUTO PC ADJ", 6840, 3620, 1740, 300, 900, Fn, NoAlign, Upper},
    {"Command14", "", "P-TIMER", 8760, 3620, 1200, 300, 900, Fn, NoAlign, Upper},
    {"Command60", "FrameKeyOff", "NONE", 1560, 150, 1095, 300, 975, Fn, NoAlign, Upper},
    {"Command61", "FrameKeyOff", "R/C", 2760, 150, 1095, 300, 975, Fn, NoAlign, Upper},
    {"Command62", "FrameKeyOff", "KEY", 3990, 150, 1095, 300, 975, Fn, NoAlign, Upper},
    {"Command16", "", "END", 8520, 4080, 1500, 375, 1200, 0, NoAlign, Upper},
    {"Command44", "", "STATUS", 8520, 4687, 1500, 346, 975, St, NoAlign, Monitor},
    {"Command45", "", "INPUT MODE", 8520, 5033, 1500, 346, 975, St, NoAlign, Monitor},
    {"Command54", "", "TEMP", 8520, 5379, 1500, 346, 975, St, NoAlign, Monitor},
    {"Command47", "", "SETTING", 8520, 5725, 1500, 346, 975, St, NoAlign, Monitor},
    {"Command46", "", "LAMP TIME", 8520, 6071, 1500, 346, 975, St, NoAlign, Monitor},
    {"Command55", "", "STATUS 2", 8520, 6417, 1500, 346, 900, St, NoAlign, Monitor},
    {"Command76", "", "LAMP MODE", 8520, 6763, 1500, 346, 900, St, NoAlign, Monitor},
    {"Command29", "", "PC TYPE", 8520, 7109, 1500, 346, 900, St, NoAlign, Monitor},
    {"Command74", "", "Command Table", 6480, 5880, 1850, 375, 975, 0, NoAlign, Monitor},
    {"Command33", "", "COM", 6480, 6350, 1850, 375, 975, 0, NoAlign, Monitor},
    // Displays, legend lines and the address options.
    {"Label9", "FrameMonitor", "TxD", 120, 240, 372, 252, 975, 0, R, Monitor},
    {"Label11", "FrameMonitor", "", 600, 195, 7575, 300, 1200, White, L, Monitor},
    {"Label10", "FrameMonitor", "RxD", 120, 612, 372, 180, 975, 0, R, Monitor},
    {"Label12", "FrameMonitor", "", 585, 555, 7575, 300, 1200, White, L, Monitor},
    {"Label25", "FrameStatus", "", 1020, 135, 4950, 285, 1050, White, L, Monitor},
    {"Label28", "", "[CR] :Carriage Return Code (0x0D)", 120, 5705, 3495, 255, 975, Grey, L, Legend},
    {"Label27", "", "_ :Space Code (0x20)", 4200, 5705, 2295, 255, 975, Grey, L, Legend},
    {"Label19", "", "[ACK]:ACKnowledge Code (0x06)", 120, 5880, 3495, 255, 975, Grey, L, Legend},
    {"Option1", "FrameAddress", "SINGLE", 2880, 240, 975, 255, 900, 0, NoAlign, Monitor},
    {"Option2", "FrameAddress", "ALL", 3960, 240, 700, 255, 900, 0, NoAlign, Monitor},
    {"Option3", "FrameAddress", "001", 4800, 240, 700, 255, 900, 0, NoAlign, Monitor},
    {"Option4", "FrameAddress", "002", 5640, 240, 700, 255, 900, 0, NoAlign, Monitor},
    {"Option5", "FrameAddress", "003", 6480, 240, 700, 255, 900, 0, NoAlign, Monitor},
    {"Option6", "FrameAddress", "004", 7320, 240, 700, 255, 900, 0, NoAlign, Monitor},
};
// clang-format on

QRect pixels(int l, int t, int w, int h)
{
    return QRect(l / 15, t / 15, w / 15, h / 15);
}

// Where |w| stands in the window's client area.
QRect inWindow(const QWidget *w, const QWidget *window)
{
    return QRect(w->mapTo(window, QPoint(0, 0)), w->size());
}

// The colour most of the inside of |w| (its border left out) is painted in.
QRgb mainColour(QWidget *w)
{
    const QImage image = w->grab().toImage();
    std::map<QRgb, int> counts;
    for (int y = 3; y < image.height() - 3; ++y) {
        for (int x = 3; x < image.width() - 3; ++x)
            ++counts[image.pixel(x, y)];
    }
    QRgb best = 0;
    int most = -1;
    for (const auto &[rgb, n] : counts) {
        if (n > most) {
            best = rgb;
            most = n;
        }
    }
    return best;
}

bool hasPixel(const QImage &image, QRgb rgb)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == rgb)
                return true;
        }
    }
    return false;
}

QString textOf(QWidget *w)
{
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    return QString();
}

// Counts the presses of one key that reach a control.
class KeyCounter : public QObject
{
public:
    explicit KeyCounter(int key)
        : m_key(key)
    {}
    int presses = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == m_key)
            ++presses;
        return false;
    }

private:
    int m_key;
};

constexpr int ClientFull = (8100 - 420) / 15;
constexpr int ClientCompact = (5100 - 420) / 15;

} // namespace

class TstPanelLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void init();
    void cleanup();

    void controls_data();
    void controls();
    void heights_data();
    void heights();
    void backColours_data();
    void backColours();
    void windowColour();
    void titleColours_data();
    void titleColours();
    void buttonStates_data();
    void buttonStates();
    void arrowPictures_data();
    void arrowPictures();
    void everyControlIsDescribed();
    void window();
    void focusAndTabOrder();

    void ctrlH_data();
    void ctrlH();
    void ctrlHTwiceHidesAgain();
    void ctrlHThroughTheWindowSystem();

private:
    std::unique_ptr<Form1> m_form;
};

void TstPanelLayout::init()
{
    m_form = std::make_unique<Form1>();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TstPanelLayout::cleanup()
{
    m_form.reset();
}

void TstPanelLayout::controls_data()
{
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<int>("font");
    QTest::addColumn<int>("align");
    for (const Row &r : kRows) {
        QTest::newRow(r.name) << QString::fromLatin1(r.parent) << QString::fromLatin1(r.caption)
                              << pixels(r.l, r.t, r.w, r.h) << r.font << int(r.align);
    }
}

// Each control stands in its container at its rectangle, with its caption,
// its font and its alignment.
void TstPanelLayout::controls()
{
    QFETCH(QString, parent);
    QFETCH(QString, caption);
    QFETCH(QRect, rect);
    QFETCH(int, font);
    QFETCH(int, align);
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    QWidget *w = m_form->findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->parentWidget()->objectName(), parent.isEmpty() ? QStringLiteral("Form1") : parent);
    QCOMPARE(w->geometry(), rect);
    QCOMPARE(textOf(w), caption);
    if (auto *label = qobject_cast<QLabel *>(w); label && !caption.isEmpty()) {
        // Drawn with room to spare on the sides it could run over, no pixel
        // in the text colour lies outside the label's own box.
        const int left = label->alignment() & Qt::AlignLeft ? 0 : 100;
        const int right = label->alignment() & Qt::AlignRight ? 0 : 100;
        label->setGeometry(rect.adjusted(-left, 0, right, 0));
        QImage image = label->grab().toImage();
        label->setGeometry(rect);
        QPainter(&image).fillRect(QRect(left, 0, rect.width(), rect.height()), Qt::white);
        QVERIFY2(!hasPixel(image, label->palette().color(QPalette::WindowText).rgb()),
                 "the caption is cut off at the label's edge");
    }
    if (font) {
        QVERIFY(w->font().bold());
        QCOMPARE(qRound(w->font().pointSizeF() * 100), font);
        QCOMPARE(w->font().families().value(0), QStringLiteral("MS PGothic"));
        // Without MS PGothic the metric-compatible IPAPGothic stands in.
        const QString used = QFontInfo(w->font()).family();
        QVERIFY2(used == QStringLiteral("MS PGothic") || used == QStringLiteral("IPAPGothic"),
                 qPrintable(used));
    }
    if (align != NoAlign) {
        auto *label = qobject_cast<QLabel *>(w);
        QVERIFY(label);
        const Qt::Alignment h = label->alignment() & Qt::AlignHorizontal_Mask;
        QCOMPARE(h, align == L ? Qt::AlignLeft : align == C ? Qt::AlignHCenter : Qt::AlignRight);
    }
}

void TstPanelLayout::heights_data()
{
    QTest::addColumn<int>("area");
    for (const Row &r : kRows)
        QTest::newRow(r.name) << int(r.area);
}

// At the compact height nothing of the monitor area shows; at the full
// height every control lies wholly inside the client area. The legend lines
// stay hidden at both until a mark calls for them.
void TstPanelLayout::heights()
{
    QFETCH(int, area);
    QWidget *w = m_form->findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(w);

    QCOMPARE(m_form->outerHeightTwips(), 5100);
    QCOMPARE(m_form->height(), ClientCompact);
    const bool showsCompact =
        w->isVisibleTo(m_form.get()) && inWindow(w, m_form.get()).intersects(m_form->rect());
    QCOMPARE(showsCompact, area == Upper);
    if (area == Upper)
        QVERIFY(m_form->rect().contains(inWindow(w, m_form.get())));

    m_form->setOuterHeightTwips(8100);
    QCOMPARE(m_form->height(), ClientFull);
    QVERIFY(m_form->rect().contains(inWindow(w, m_form.get())));
    QCOMPARE(w->isVisibleTo(m_form.get()), area != Legend);
}

void TstPanelLayout::backColours_data()
{
    QTest::addColumn<QRgb>("back");
    for (const Row &r : kRows) {
        if (r.back)
            QTest::newRow(r.name) << r.back;
    }
}

// The back colour really shows on screen, whatever the widget style.
void TstPanelLayout::backColours()
{
    QFETCH(QRgb, back);
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    QWidget *w = name == QLatin1String("Form1") ? m_form.get() : m_form->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(QColor(mainColour(w)).name(), QColor(back).name());
}

// The window itself is light grey where no frame covers it, as between the
// POWER and MODE SET frames.
void TstPanelLayout::windowColour()
{
    const QImage image = m_form->grab().toImage();
    QCOMPARE(QColor(image.pixel(1390 / 15, 300 / 15)).name(), QStringLiteral("#c0c0c0"));
    QCOMPARE(QColor(image.pixel(1390 / 15, 1620 / 15)).name(), QStringLiteral("#c0c0c0"));
}

void TstPanelLayout::titleColours_data()
{
    QTest::addColumn<QRgb>("text");
    QTest::newRow("Label1") << QRgb(0xFFC00000);
    QTest::newRow("Label28") << QRgb(0xFFFF0000);
    QTest::newRow("Label27") << QRgb(0xFFFF0000);
    QTest::newRow("Label19") << QRgb(0xFFFF0000);
    QTest::newRow("Label25") << QRgb(0xFFFF0000);
}

// The POWER title is dark red, the legend lines and the status words red.
void TstPanelLayout::titleColours()
{
    QFETCH(QRgb, text);
    auto *label = m_form->findChild<QLabel *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(label);
    if (label->text().isEmpty())
        label->setText(QStringLiteral(" Power ON"));
    label->show();
    QVERIFY(hasPixel(label->grab().toImage(), text));
}

void TstPanelLayout::buttonStates_data()
{
    QTest::addColumn<bool>("down");
    QTest::addColumn<bool>("focused");
    QTest::newRow("up") << false << false;
    QTest::newRow("down") << true << false;
    QTest::newRow("focused") << false << true;
    QTest::newRow("focused and down") << true << true;
}

// A coloured button looks raised when up (its top edge lighter than its
// bottom edge), sunken while down, and its border is darker with the focus.
void TstPanelLayout::buttonStates()
{
    QFETCH(bool, down);
    QFETCH(bool, focused);
    QPushButton *b = m_form->button(QStringLiteral("Command18")); // POWER "Off"
    const QPoint top(b->width() / 2, 0), bottom(b->width() / 2, b->height() - 1);
    const int darkUp = qGray(b->grab().toImage().pixel(bottom));
    if (focused) {
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        b->setFocus();
    }
    QCOMPARE(b->hasFocus(), focused);
    b->setDown(down);
    const QImage image = b->grab().toImage();
    const int topEdge = qGray(image.pixel(top)), bottomEdge = qGray(image.pixel(bottom));
    QCOMPARE(topEdge > bottomEdge ? "raised" : "sunken", down ? "sunken" : "raised");
    QCOMPARE(qMin(topEdge, bottomEdge) < darkUp, focused); // the border darker with the focus
}

void TstPanelLayout::arrowPictures_data()
{
    QTest::addColumn<QString>("face");
    const std::pair<const char *, const char *> arrows[] = {
        {"Command5", "up"},  {"Command7", "down"},  {"Command38", "left"}, {"Command8", "right"},
        {"Command10", "up"}, {"Command35", "down"}, {"Command4", "left"},  {"Command11", "right"},
        {"Command12", "up"}, {"Command20", "down"}, {"Command15", "left"}, {"Command19", "right"},
        {"Command30", "up"}, {"Command42", "down"}, {"Command1", "up"},    {"Command2", "down"},
        {"Command48", "up"}, {"Command49", "down"},
    };
    for (const auto &[button, face] : arrows)
        QTest::newRow(button) << QString::fromLatin1(face);
}

// A 17 x 9 picture, a black triangle on #FFFF00: the base is the whole edge
// the arrow points away from, the apex the middle pixel of the edge it
// points to.
void TstPanelLayout::arrowPictures()
{
    QFETCH(QString, face);
    auto *b = m_form->findChild<QPushButton *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(b);
    QVERIFY(b->text().isEmpty());
    QCOMPARE(b->iconSize(), QSize(17, 9));
    const QImage picture = b->icon().pixmap(QSize(17, 9)).toImage();
    QCOMPARE(picture.size(), QSize(17, 9));
    const QRgb black = qRgb(0, 0, 0), yellow = qRgb(0xFF, 0xFF, 0);
    auto at = [&](int x, int y) { return QColor(picture.pixel(x, y)).rgb(); };
    int blacks = 0;
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 17; ++x) {
            const QRgb p = at(x, y);
            QVERIFY2(p == black || p == yellow, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            blacks += p == black;
        }
    }
    QVERIFY(blacks > 17 * 9 / 3 && blacks < 17 * 9 * 2 / 3);
    // Apex, base and the two corners beside the apex.
    QList<QPoint> base, apexSide;
    QPoint apex;
    if (face == QLatin1String("up") || face == QLatin1String("down")) {
        const int baseRow = face == QLatin1String("up") ? 8 : 0;
        const int apexRow = 8 - baseRow;
        for (int x = 0; x < 17; ++x)
            base << QPoint(x, baseRow);
        apex = QPoint(8, apexRow);
        apexSide << QPoint(0, apexRow) << QPoint(16, apexRow) << QPoint(7, apexRow)
                 << QPoint(9, apexRow);
    } else {
        const int baseCol = face == QLatin1String("left") ? 16 : 0;
        const int apexCol = 16 - baseCol;
        for (int y = 0; y < 9; ++y)
            base << QPoint(baseCol, y);
        apex = QPoint(apexCol, 4);
        apexSide << QPoint(apexCol, 0) << QPoint(apexCol, 8) << QPoint(apexCol, 3)
                 << QPoint(apexCol, 5);
    }
    for (const QPoint &p : base)
        QCOMPARE(at(p.x(), p.y()), black);
    QCOMPARE(at(apex.x(), apex.y()), black);
    for (const QPoint &p : apexSide)
        QCOMPARE(at(p.x(), p.y()), yellow);
}

// The description names every control the window has: no stray widgets.
void TstPanelLayout::everyControlIsDescribed()
{
    QSet<QString> described;
    for (const Row &r : kRows)
        described.insert(QString::fromLatin1(r.name));
    int buttons = 0;
    for (QWidget *w : m_form->findChildren<QWidget *>()) {
        if (qobject_cast<QPushButton *>(w)) {
            ++buttons;
            QVERIFY2(described.contains(w->objectName()), qPrintable(w->objectName()));
        }
    }
    QCOMPARE(buttons, 53);
    QCOMPARE(m_form->findChildren<QRadioButton *>().size(), 6);
}

void TstPanelLayout::window()
{
    QCOMPARE(m_form->windowTitle(), QString());
    QCOMPARE(m_form->size(), QSize(10185 / 15, ClientCompact));
    // No dragging of the border: the size is fixed.
    QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
    QVERIFY(!(m_form->windowFlags() & Qt::WindowMaximizeButtonHint));
    const QList<QSize> iconSizes = m_form->windowIcon().availableSizes();
    QVERIFY(iconSizes.contains(QSize(32, 32)));
    // The icon is a picture, not an empty square.
    const QImage icon = m_form->windowIcon().pixmap(32, 32).toImage();
    QVERIFY(!icon.isNull());
    QSet<QRgb> colours;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            colours.insert(icon.pixel(x, y));
    QVERIFY(colours.size() > 4);
    m_form->setOuterHeightTwips(8100);
    QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
    QCOMPARE(m_form->size(), QSize(10185 / 15, ClientFull));
}

void TstPanelLayout::focusAndTabOrder()
{
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QCOMPARE(m_form->focusWidget()->objectName(), QStringLiteral("Command17"));
    // Tab walks the POWER group first, then the MODE SET group.
    const QStringList expected = {QStringLiteral("Command18"), QStringLiteral("Command27"),
                                  QStringLiteral("Command28")};
    for (const QString &next : expected) {
        QTest::keyClick(m_form->focusWidget(), Qt::Key_Tab);
        QCOMPARE(m_form->focusWidget()->objectName(), next);
    }
    // Every button and option is a tab stop, each once.
    QSet<QString> stops;
    QWidget *w = m_form->focusWidget();
    for (int i = 0; i < 200 && w; ++i) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->window() == m_form.get())
            stops.insert(w->objectName());
        w = w->nextInFocusChain();
        if (w == m_form->focusWidget())
            break;
    }
    QCOMPARE(stops.size(), 53 + 6);
}

void TstPanelLayout::ctrlH_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("switches");
    const int ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier, alt = Qt::AltModifier;
    QTest::newRow("Ctrl+H on POWER On") << "Command17" << int(Qt::Key_H) << ctrl << true;
    QTest::newRow("Ctrl+H on an arrow") << "Command5" << int(Qt::Key_H) << ctrl << true;
    QTest::newRow("Ctrl+H on an option") << "Option3" << int(Qt::Key_H) << ctrl << true;
    QTest::newRow("Ctrl+H on STATUS") << "Command44" << int(Qt::Key_H) << ctrl << true;
    QTest::newRow("Ctrl+H on END") << "Command16" << int(Qt::Key_H) << ctrl << true;
    QTest::newRow("Ctrl+Shift+H") << "Command17" << int(Qt::Key_H) << (ctrl | shift) << false;
    QTest::newRow("Alt+H") << "Command17" << int(Qt::Key_H) << alt << false;
    QTest::newRow("Ctrl+Alt+H") << "Command17" << int(Qt::Key_H) << (ctrl | alt) << false;
    QTest::newRow("Ctrl+Shift+Alt+H")
        << "Command17" << int(Qt::Key_H) << (ctrl | shift | alt) << false;
    QTest::newRow("plain H") << "Command17" << int(Qt::Key_H) << 0 << false;
    QTest::newRow("Shift+H") << "Command17" << int(Qt::Key_H) << shift << false;
    QTest::newRow("Ctrl+G") << "Command17" << int(Qt::Key_G) << ctrl << false;
    QTest::newRow("Ctrl+J") << "Command17" << int(Qt::Key_J) << ctrl << false;
}

// Only Ctrl+H switches the height, whichever control has the focus, and the
// focused control still receives the key.
void TstPanelLayout::ctrlH()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, switches);
    QWidget *target = m_form->findChild<QWidget *>(focus);
    QVERIFY(target);
    target->setFocus();
    KeyCounter counter(key);
    target->installEventFilter(&counter);
    const QPoint topLeft = m_form->pos();

    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(counter.presses, 1);
    QCOMPARE(m_form->outerHeightTwips(), switches ? 8100 : 5100);
    QCOMPARE(m_form->height(), switches ? ClientFull : ClientCompact);
    QCOMPARE(m_form->pos(), topLeft);
    QCOMPARE(
        m_form->findChild<QWidget *>(QStringLiteral("Command44"))->mapTo(m_form.get(), QPoint()).y()
            < m_form->height(),
        switches);
}

void TstPanelLayout::ctrlHTwiceHidesAgain()
{
    QWidget *target = m_form->findChild<QWidget *>(QStringLiteral("Command17"));
    for (int height : {8100, 5100, 8100}) {
        QTest::keyClick(target, Qt::Key_H, Qt::ControlModifier);
        QCOMPARE(m_form->outerHeightTwips(), height);
    }
    // Any other height switches by the 7000 threshold.
    m_form->setOuterHeightTwips(7000);
    QTest::keyClick(target, Qt::Key_H, Qt::ControlModifier);
    QCOMPARE(m_form->outerHeightTwips(), 5100);
    m_form->setOuterHeightTwips(6999);
    QTest::keyClick(target, Qt::Key_H, Qt::ControlModifier);
    QCOMPARE(m_form->outerHeightTwips(), 8100);
}

// The key as the window system delivers it: to the window, which hands it to
// the focused control and, unhandled, on to its parents. It switches once.
void TstPanelLayout::ctrlHThroughTheWindowSystem()
{
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QWidget *focused = m_form->findChild<QWidget *>(QStringLiteral("Command61"));
    focused->setFocus();
    KeyCounter counter(Qt::Key_H);
    focused->installEventFilter(&counter);
    QTest::keyClick(m_form->windowHandle(), Qt::Key_H, Qt::ControlModifier);
    QCOMPARE(counter.presses, 1);
    QCOMPARE(m_form->outerHeightTwips(), 8100);
    QTest::keyClick(m_form->windowHandle(), Qt::Key_H, Qt::ControlModifier);
    QCOMPARE(m_form->outerHeightTwips(), 5100);
    QCOMPARE(counter.presses, 2);
}

QTEST_MAIN(TstPanelLayout)
#include "tst_panel_layout.moc"
