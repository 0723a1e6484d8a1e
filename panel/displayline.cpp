#include "panel/displayline.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

namespace DisplayLine {

namespace {

const char kMarker[] = "orvaDisplayLine";

class LineInterface : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit LineInterface(QLabel *label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return shown();
        return QAccessibleWidget::text(t);
    }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }

    // QAccessibleTextInterface: read-only text without a cursor or a
    // selection.
    void selection(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override
    {
        if (startOffset < 0 || endOffset < startOffset)
            return QString();
        return shown().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(shown().size()); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return QString();
    }

private:
    QString shown() const { return static_cast<QLabel *>(widget())->text(); }
};

QAccessibleInterface *lineFactory(const QString &, QObject *object)
{
    auto *label = qobject_cast<QLabel *>(object);
    if (label && label->property(kMarker).toBool())
        return new LineInterface(label);
    return nullptr;
}

} // namespace

void mark(QLabel *label, const QString &name)
{
    static const bool installed = [] {
        QAccessible::installFactory(lineFactory);
        return true;
    }();
    Q_UNUSED(installed);
    label->setProperty(kMarker, true);
    label->setAccessibleName(name);
}

void show(QLabel *label, const QString &text)
{
    const QString before = label->text();
    label->setText(text);
    if (QAccessible::isActive() && before != text) {
        QAccessibleTextUpdateEvent event(label, 0, before, text);
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace DisplayLine
