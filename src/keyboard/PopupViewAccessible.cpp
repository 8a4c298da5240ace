#include "PopupViewAccessible.h"

#include "PopupView.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>
#include <vector>

namespace wendrel {

namespace {

// One cell: a menu item without a widget of its own. It reads the popup as it is now, so an
// index past the open popup's cells is simply no longer valid.
class CellAccessible : public QAccessibleInterface {
public:
    CellAccessible(PopupView *popup, int cellIndex) : popup(popup), index(cellIndex) {}

    bool isValid() const override { return popup && index < popup->cellCount(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return popup ? popup->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(popup.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text kind) const override
    {
        return isValid() && kind == QAccessible::Name ? popup->cellText(index) : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const QRect cell = popup->cellArea(index);
        return QRect(popup->mapToGlobal(cell.topLeft()), cell.size());
    }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.invisible = !popup->isVisible();
        state.selectable = true;
        state.selected = popup->chosenCell() == index;
        state.hotTracked = state.selected;
        return state;
    }

private:
    QPointer<PopupView> popup;
    int index;
};

class PopupViewAccessible : public QAccessibleWidget {
public:
    explicit PopupViewAccessible(PopupView *popup) : QAccessibleWidget(popup, QAccessible::PopupMenu) {}
    ~PopupViewAccessible() override
    {
        for (QAccessible::Id id : ids)
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return popup()->cellCount(); }

    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        // Made once per place and kept: a popup with more cells than any before adds some.
        while (ids.size() <= size_t(index))
            ids.push_back(QAccessible::registerAccessibleInterface(new CellAccessible(popup(), int(ids.size()))));
        return QAccessible::accessibleInterface(ids[size_t(index)]);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (size_t i = 0; i < ids.size() && int(i) < childCount(); ++i) {
            if (QAccessible::accessibleInterface(ids[i]) == child)
                return int(i);
        }
        return -1;
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPoint point = popup()->mapFromGlobal(QPoint(x, y));
        for (int i = 0; i < childCount(); ++i) {
            if (popup()->cellArea(i).contains(point))
                return child(i);
        }
        return nullptr;
    }

private:
    PopupView *popup() const { return static_cast<PopupView *>(widget()); }

    mutable std::vector<QAccessible::Id> ids;
};

QAccessibleInterface *popupViewFactory(const QString &, QObject *object)
{
    if (auto *popup = qobject_cast<PopupView *>(object))
        return new PopupViewAccessible(popup);
    return nullptr;
}

} // namespace

void installPopupViewAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(popupViewFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace wendrel
