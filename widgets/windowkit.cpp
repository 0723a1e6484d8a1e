#include "widgets/windowkit.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

#include <algorithm>

namespace WindowKit {

QRect toPixels(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

void setTabOrder(std::vector<std::pair<int, QWidget *>> controls)
{
    std::stable_sort(controls.begin(), controls.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (size_t i = 1; i < controls.size(); ++i)
        QWidget::setTabOrder(controls[i - 1].second, controls[i].second);
}

QFont font(qreal points, bool bold)
{
    QFont f;
    f.setFamilies({QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic")});
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QColor colour(Colour c, bool text)
{
    switch (c) {
    case Colour::System:
        return QApplication::palette().color(text ? QPalette::ButtonText : QPalette::Button);
    case Colour::InactiveCaptionText:
        // The classic desktop scheme's inactive caption text colour.
        return QColor(0xC0, 0xC0, 0xC0);
    case Colour::Grey:
        return QColor(0xC0, 0xC0, 0xC0);
    case Colour::White:
        return QColor(0xFF, 0xFF, 0xFF);
    case Colour::On:
        return QColor(0x80, 0xFF, 0x80);
    case Colour::Off:
        return QColor(0xFF, 0x80, 0x80);
    case Colour::Enter:
        return QColor(0xFF, 0xC0, 0x80);
    case Colour::ArrowYellow:
        return QColor(0xFF, 0xFF, 0x80);
    case Colour::Function:
        return QColor(0x00, 0xC0, 0xC0);
    case Colour::Status:
        return QColor(0xC0, 0xFF, 0xFF);
    case Colour::DarkRed:
        return QColor(0xC0, 0x00, 0x00);
    case Colour::Red:
        return QColor(0xFF, 0x00, 0x00);
    case Colour::Inherited:
        break;
    }
    return {};
}

} // namespace WindowKit
