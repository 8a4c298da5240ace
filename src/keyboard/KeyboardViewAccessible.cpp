#include "KeyboardViewAccessible.h"

#include "KeyboardView.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>
#include <array>

namespace wendrel {

namespace {

constexpr int keyCount = 66;

// One key: a push button without a widget of its own.
class KeyAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    KeyAccessible(KeyboardView *view, int keyIndex) : view(view), index(keyIndex) {}

    bool isValid() const override { return !view.isNull(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return view ? view->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(view.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text kind) const override
    {
        return view && kind == QAccessible::Name ? view->accessibleCaption(index) : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!view)
            return QRect();
        const QRect key = view->keyRect(index);
        return QRect(view->mapToGlobal(key.topLeft()), key.size());
    }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!view) {
            state.invalid = true;
            return state;
        }
        // Like the keys' buttons before: never focusable, so the text area keeps the focus.
        state.invisible = !view->isVisible();
        state.pressed = view->downKey() == index;
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &action) override
    {
        if (view && action == pressAction())
            view->requestTap(index);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<KeyboardView> view;
    int index;
};

// The view: its keys first, in the key table's order, then any widgets it holds.
class KeyboardViewAccessible : public QAccessibleWidget {
public:
    explicit KeyboardViewAccessible(KeyboardView *view) : QAccessibleWidget(view, QAccessible::Grouping) {}
    ~KeyboardViewAccessible() override
    {
        for (QAccessible::Id id : ids) {
            if (id)
                QAccessible::deleteAccessibleInterface(id);
        }
    }

    int childCount() const override { return keyCount + QAccessibleWidget::childCount(); }

    QAccessibleInterface *child(int index) const override
    {
        if (index < 0)
            return nullptr;
        if (index >= keyCount)
            return QAccessibleWidget::child(index - keyCount);
        QAccessible::Id &id = ids[size_t(index)];
        if (!id)
            id = QAccessible::registerAccessibleInterface(new KeyAccessible(view(), index));
        return QAccessible::accessibleInterface(id);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (size_t i = 0; i < ids.size(); ++i) {
            if (ids[i] && QAccessible::accessibleInterface(ids[i]) == child)
                return int(i);
        }
        const int widgetIndex = QAccessibleWidget::indexOfChild(child);
        return widgetIndex < 0 ? -1 : keyCount + widgetIndex;
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        for (int i = QAccessibleWidget::childCount() - 1; i >= 0; --i) {
            QAccessibleInterface *widgetChild = QAccessibleWidget::child(i);
            if (widgetChild && widgetChild->rect().contains(x, y))
                return widgetChild;
        }
        const int key = view()->keyAt(view()->mapFromGlobal(QPoint(x, y)));
        return key < 0 ? nullptr : child(key);
    }

private:
    KeyboardView *view() const { return static_cast<KeyboardView *>(widget()); }

    mutable std::array<QAccessible::Id, keyCount> ids{};
};

QAccessibleInterface *keyboardViewFactory(const QString &, QObject *object)
{
    if (auto *view = qobject_cast<KeyboardView *>(object))
        return new KeyboardViewAccessible(view);
    return nullptr;
}

} // namespace

void installKeyboardViewAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(keyboardViewFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace wendrel
