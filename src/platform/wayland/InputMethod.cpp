#include "InputMethod.h"

#include "WaylandConnection.h"
#include "input-method-unstable-v2-client.h"

#include <algorithm>
#include <wayland-client.h>

namespace wendrel {

QString InputMethodState::textBeforeCaret() const
{
    if (!hasSurroundingText)
        return {};
    const int end = std::clamp(std::min(cursor, anchor), 0, int(surroundingText.size()));
    QString text = QString::fromUtf8(surroundingText.left(end));
    if (text.isNull())
        text = QStringLiteral("");
    return text;
}

namespace {

InputMethod *self(void *data) { return static_cast<InputMethod *>(data); }

const zwp_input_method_v2_listener listener = {
    [](void *data, zwp_input_method_v2 *) { self(data)->onActivate(); },
    [](void *data, zwp_input_method_v2 *) { self(data)->onDeactivate(); },
    [](void *data, zwp_input_method_v2 *, const char *text, uint32_t cursor, uint32_t anchor) {
        self(data)->onSurroundingText(text, cursor, anchor);
    },
    [](void *, zwp_input_method_v2 *, uint32_t) {},
    [](void *data, zwp_input_method_v2 *, uint32_t hint, uint32_t purpose) { self(data)->onContentType(hint, purpose); },
    [](void *data, zwp_input_method_v2 *) { self(data)->onDone(); },
    [](void *data, zwp_input_method_v2 *) { self(data)->onUnavailable(); },
};

} // namespace

InputMethod::InputMethod(WaylandConnection &connection, QObject *parent) : QObject(parent), connection(connection)
{
    if (!connection.inputMethodManager() || !connection.seat()) {
        available = false;
        return;
    }
    inputMethod = zwp_input_method_manager_v2_get_input_method(connection.inputMethodManager(), connection.seat());
    zwp_input_method_v2_add_listener(inputMethod, &listener, this);
    connection.flush();
}

InputMethod::~InputMethod()
{
    if (inputMethod)
        zwp_input_method_v2_destroy(inputMethod);
    connection.flush();
}

void InputMethod::onActivate()
{
    // A new field: what is known of the old one goes.
    pending = InputMethodState{};
    pending.active = true;
}

void InputMethod::onDeactivate() { pending.active = false; }

void InputMethod::onSurroundingText(const char *text, uint32_t cursor, uint32_t anchor)
{
    pending.hasSurroundingText = true;
    pending.surroundingText = QByteArray(text ? text : "");
    pending.cursor = int(std::min<uint32_t>(cursor, uint32_t(pending.surroundingText.size())));
    pending.anchor = int(std::min<uint32_t>(anchor, uint32_t(pending.surroundingText.size())));
}

void InputMethod::onContentType(uint32_t hint, uint32_t purpose)
{
    pending.hint = hint;
    pending.purpose = purpose;
}

void InputMethod::onDone()
{
    ++doneCount;
    const bool wasActive = current.active;
    current = pending;
    if (current.active && !wasActive)
        emit activated();
    else if (!current.active && wasActive)
        emit deactivated();
    if (current.active)
        emit stateChanged();
}

void InputMethod::onUnavailable()
{
    available = false;
    current = pending = InputMethodState{};
    emit unavailable();
}

void InputMethod::commitString(const QString &text)
{
    if (inputMethod && available)
        zwp_input_method_v2_commit_string(inputMethod, text.toUtf8().constData());
}

void InputMethod::deleteBefore(int bytes)
{
    if (inputMethod && available && bytes > 0)
        zwp_input_method_v2_delete_surrounding_text(inputMethod, uint32_t(bytes), 0);
}

void InputMethod::commit()
{
    if (!inputMethod || !available)
        return;
    zwp_input_method_v2_commit(inputMethod, doneCount);
    connection.flush();
}

} // namespace wendrel
