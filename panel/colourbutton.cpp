#include "panel/colourbutton.h"

#include <QPainter>
#include <QPolygonF>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

namespace {

// Border width in pixels, on every side.
constexpr int Border = 2;

// The face and border shades; the border colours are kept to 8 bits per
// channel before the lit edges are derived from them, so that the shades are
// the ones a #rrggbb colour gives.
QColor borderShade(const QColor &face, bool focused)
{
    return QColor::fromRgb(face.darker(focused ? 170 : 115).rgb());
}

void fillEdge(QPainter &p, const QPolygonF &quad, const QColor &colour)
{
    p.setBrush(colour);
    p.drawConvexPolygon(quad);
}

// The bevel: four trapezoids meeting at the corners' diagonals, drawn
// bottom, right, left, top (later ones win where they touch), antialiased.
// Raised, the top and left edges are lit; sunken, the bottom and right.
void drawBevel(QPainter &p, const QRectF &r, const QColor &shade, bool sunken)
{
    const QColor lit = shade.lighter();
    const QColor topLeft = sunken ? shade : lit;
    const QColor bottomRight = sunken ? lit : shade;
    const qreal b = Border;
    const qreal x1 = r.x();
    const qreal y1 = r.y();
    const qreal x2 = r.x() + r.width();
    const qreal y2 = r.y() + r.height();

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    fillEdge(p, QPolygonF{{x1 + b, y2 - b}, {x1, y2}, {x2, y2}, {x2 - b, y2 - b}}, bottomRight);
    fillEdge(p, QPolygonF{{x2 - b, y1 + b}, {x2 - b, y2 - b}, {x2, y2}, {x2, y1}}, bottomRight);
    fillEdge(p, QPolygonF{{x1, y1}, {x1, y2}, {x1 + b, y2 - b}, {x1 + b, y1 + b}}, topLeft);
    fillEdge(p, QPolygonF{{x1, y1}, {x1 + b, y1 + b}, {x2 - b, y1 + b}, {x2, y1}}, topLeft);
    p.restore();
}

} // namespace

ColourButton::ColourButton(const QString &text, QWidget *parent)
    : QPushButton(text, parent)
{}

void ColourButton::setColour(const QColor &colour)
{
    if (colour == m_colour)
        return;
    m_colour = colour;
    updateGeometry();
    update();
}

QSize ColourButton::sizeHint() const
{
    if (!m_colour.isValid())
        return QPushButton::sizeHint();
    // The contents as the push button measures them, plus the border.
    ensurePolished();
    int w = 0;
    int h = 0;
    if (!icon().isNull()) {
        w += iconSize().width() + 4;
        h = iconSize().height();
    }
    const QString caption = text();
    const QSize textSize = fontMetrics().size(Qt::TextShowMnemonic,
                                              caption.isEmpty() ? QStringLiteral("XXXX") : caption);
    if (!caption.isEmpty() || w == 0)
        w += textSize.width();
    if (!caption.isEmpty() || h == 0)
        h = qMax(h, textSize.height());
    return QSize(w + 2 * Border, h + 2 * Border);
}

QSize ColourButton::minimumSizeHint() const
{
    return m_colour.isValid() ? sizeHint() : QPushButton::minimumSizeHint();
}

void ColourButton::paintEvent(QPaintEvent *event)
{
    if (!m_colour.isValid()) {
        QPushButton::paintEvent(event);
        return;
    }
    QPainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const bool sunken = option.state & (QStyle::State_Sunken | QStyle::State_On);
    const bool focused = option.state & QStyle::State_HasFocus;
    const bool enabled = option.state & QStyle::State_Enabled;

    p.fillRect(option.rect, m_colour);
    drawBevel(p, QRectF(option.rect), borderShade(m_colour, focused), sunken);

    // The label: the picture or the caption (a panel button has one or the
    // other), centred inside the border and moved by the style's press shift
    // while the button is down.
    const QRect contents = option.rect.adjusted(Border, Border, -Border, -Border);
    const QPoint shift =
        sunken ? QPoint(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                        style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this))
               : QPoint();
    if (!option.icon.isNull()) {
        QIcon::Mode mode = enabled ? QIcon::Normal : QIcon::Disabled;
        if (mode == QIcon::Normal && focused)
            mode = QIcon::Active;
        const QIcon::State state = option.state & QStyle::State_On ? QIcon::On : QIcon::Off;
        const QPixmap picture =
            option.icon.pixmap(option.iconSize, p.device()->devicePixelRatio(), mode, state);
        const int pw = int(picture.width() / picture.devicePixelRatio());
        const int ph = int(picture.height() / picture.devicePixelRatio());
        const QRect target(contents.x() + (contents.width() - pw) / 2,
                           contents.y() + (contents.height() - ph) / 2, pw, ph);
        p.drawPixmap(target.translated(shift), picture);
    }
    if (!option.text.isEmpty()) {
        QPalette palette = option.palette;
        palette.setBrush(QPalette::Button, m_colour);
        palette.setBrush(QPalette::Window, m_colour);
        palette.setBrush(QPalette::Light, m_colour.lighter(115));
        palette.setBrush(QPalette::Midlight, m_colour.lighter(107));
        palette.setBrush(QPalette::Dark, m_colour.darker(150));
        palette.setBrush(QPalette::Shadow, m_colour.darker(300));
        for (QPalette::ColorRole role :
             {QPalette::ButtonText, QPalette::WindowText, QPalette::Text})
            palette.setBrush(role, QColor(Qt::black));
        int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
        if (!style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this))
            flags |= Qt::TextHideMnemonic;
        style()->drawItemText(&p, contents.translated(shift), flags, palette, enabled, option.text,
                              QPalette::ButtonText);
    }

    if (focused) {
        QStyleOptionFocusRect frame;
        frame.QStyleOption::operator=(option);
        frame.rect = contents;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &p, this);
    }
}
