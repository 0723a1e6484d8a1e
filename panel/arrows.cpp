#include "panel/arrows.h"

#include "protocol/engine.h"

#include <QAbstractButton>
#include <QEvent>

HoldButtons::HoldButtons(TransactionEngine &engine, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
{}

void HoldButtons::attach(QAbstractButton *button, quint8 holdKind)
{
    m_kinds.insert(button, holdKind);
    button->installEventFilter(this);
    connect(button, &QObject::destroyed, this, [this](QObject *gone) { m_kinds.remove(gone); });
}

void HoldButtons::mouseDown(quint8 holdKind)
{
    // The engine ignores the press while another hold is active.
    m_engine.holdPress(holdKind);
}

void HoldButtons::mouseUp()
{
    if (m_held)
        m_held->setDown(false);
    m_held = nullptr;
    m_engine.Cont_M_up();
}

void HoldButtons::endHold()
{
    if (m_engine.holding())
        mouseUp();
}

bool HoldButtons::eventFilter(QObject *watched, QEvent *event)
{
    const auto kind = m_kinds.constFind(watched);
    if (kind == m_kinds.constEnd())
        return QObject::eventFilter(watched, event);
    auto *button = static_cast<QAbstractButton *>(watched);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    // The second press of a quick double click comes as a double-click
    // event; it is a press like any other.
    case QEvent::MouseButtonDblClick:
        if (!button->isEnabled())
            return true;
        if (button->focusPolicy() & Qt::ClickFocus)
            button->setFocus(Qt::MouseFocusReason);
        if (!m_engine.holding()) {
            // The arrow looks pressed for as long as its hold lasts.
            m_held = button;
            button->setDown(true);
        }
        mouseDown(*kind);
        return true;
    case QEvent::MouseButtonRelease:
        mouseUp();
        return true;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
