#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>

class QAbstractButton;
class TransactionEngine;

// The arrow buttons' mouse handling. A press of any mouse button (left,
// right or middle) on an arrow starts a hold of its kind; the release of any
// mouse button ends whatever hold is running. The window system delivers a
// release to the widget that took the press, also when the pointer has left
// it by then, so the release always reaches one of the arrows.
//
// The buttons' own click logic never sees these mouse events: an arrow has
// no click action, and the space bar on a focused arrow sends nothing.
class HoldButtons : public QObject
{
    Q_OBJECT

public:
    explicit HoldButtons(TransactionEngine &engine, QObject *parent = nullptr);

    void attach(QAbstractButton *button, quint8 holdKind);

    // The arrows' MouseDown and MouseUp handlers.
    void mouseDown(quint8 holdKind);
    void mouseUp();
    // Ends the hold that is on, as its release would; nothing when none is.
    void endHold();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TransactionEngine &m_engine;
    QHash<QObject *, quint8> m_kinds;
    QPointer<QAbstractButton> m_held; // the arrow whose hold is running
};
