#pragma once

#include <QColor>
#include <QPushButton>

// A command button with a face colour of its own, the same under every
// widget style: the face in the colour, a 2-pixel bevelled border in a darker
// shade (raised, sunken while the button is down, darker still while it has
// the focus) and the caption in black. Without a colour it is a plain button
// of the widget style.
class ColourButton : public QPushButton
{
    Q_OBJECT

public:
    explicit ColourButton(const QString &text, QWidget *parent = nullptr);

    // An invalid colour gives the widget style's own button back.
    void setColour(const QColor &colour);
    QColor colour() const { return m_colour; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_colour;
};
