#include "WaylandKeyboard.h"

#include "CandidateStrip.h"
#include "Fonts.h"
#include "InputMethod.h"
#include "KeyboardView.h"
#include "LayerPanel.h"
#include "SessionClock.h"
#include "SystemClipboard.h"
#include "TypingSession.h"
#include "VirtualKeyboard.h"
#include "WaylandConnection.h"
#include "WaylandKeyOutput.h"

#include <QApplication>
#include <QPainter>
#include <cstdio>

namespace wendrel {

namespace {

// The field's kind from text-input's content purpose and hints. Digits, numbers and phone
// numbers get the keys as they are, with nothing of the typing assistant's.
FieldKind fieldKindOf(const InputMethodState &state)
{
    if (state.hint & (ContentHint::HiddenText | ContentHint::SensitiveData))
        return FieldKind::Password;
    switch (state.purpose) {
    case ContentPurpose::Password:
    case ContentPurpose::Pin:
        return FieldKind::Password;
    case ContentPurpose::Terminal:
        return FieldKind::Terminal;
    case ContentPurpose::Email:
        return FieldKind::Email;
    case ContentPurpose::Url:
        return FieldKind::Url;
    case ContentPurpose::Digits:
    case ContentPurpose::Number:
    case ContentPurpose::Phone:
    case ContentPurpose::Date:
    case ContentPurpose::Time:
    case ContentPurpose::DateTime:
        return FieldKind::Number;
    default:
        return FieldKind::Text;
    }
}

// The panel's picture: the background colour, the candidate strip and the keys, laid out from
// the top of the strip (layout y 57) down.
class PanelWidget : public QWidget {
public:
    PanelWidget(TypingSession &session) : session(session)
    {
        view = new KeyboardView(this);
        view->setLookSource([this](int key) {
            return KeyLook{this->session.caption(key), this->session.onControlColour(key),
                           this->session.hasDefaultLook(key)};
        });
        view->setCaptionSource([this](int key) { return this->session.caption(key); });
        strip = new CandidateStrip(this);
        connect(view, &KeyboardView::pressed, &session, &TypingSession::press);
        connect(view, &KeyboardView::moved, &session, &TypingSession::move);
        connect(view, &KeyboardView::released, &session, &TypingSession::release);
        connect(view, &KeyboardView::cancelled, &session, &TypingSession::cancelTouch);
        connect(view, &KeyboardView::keyTapped, &session, &TypingSession::tapKey);
        connect(&session, &TypingSession::keysChanged, view, &KeyboardView::updateKeys);
        connect(strip, &CandidateStrip::tapped, &session, &TypingSession::pick);
        connect(&session, &TypingSession::candidatesChanged, this,
                [this] { strip->setCandidates(this->session.candidates()); });
        connect(&session, &TypingSession::candidatePicked, strip, &CandidateStrip::light);
    }

    void place(qreal scale, int keysLeft)
    {
        const int top = qRound(57 * scale);
        const ScaledLayout layout(scale, QPoint(keysLeft, -top));
        view->setFont(captionFont(layout, font()));
        view->setGeometry(rect());
        view->setScaledLayout(layout);
        const QRect stripRect = layout.rect(KeyRect{5, 57, 230, 20});
        strip->setGeometry(stripRect);
        QFont stripFont = font();
        stripFont.setPixelSize(std::max(8, stripRect.height() * 3 / 5));
        strip->setFont(stripFont);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(backgroundColour.red, backgroundColour.green, backgroundColour.blue));
    }

private:
    TypingSession &session;
    KeyboardView *view = nullptr;
    CandidateStrip *strip = nullptr;
};

} // namespace

int runWaylandKeyboard(const WaylandKeyboardOptions &options)
{
    WaylandConnection connection;
    const QStringList missing = connection.missingProtocols();
    if (!connection.isConnected()) {
        std::fprintf(stderr, "wendrel: cannot connect to the Wayland display '%s'\n",
                     qUtf8Printable(missing.value(0)));
        return 1;
    }
    if (!missing.isEmpty()) {
        std::fprintf(stderr,
                     "wendrel: keyboard mode needs a Wayland compositor that offers %s; this one does not "
                     "(wlroots compositors such as sway and phoc do)\n",
                     qUtf8Printable(missing.join(QStringLiteral(", "))));
        return 1;
    }

    InputMethod inputMethod(connection);
    VirtualKeyboard keyboard(connection);
    WaylandKeyOutput output(inputMethod, keyboard);
    QtClock clock;
    SystemClipboard clipboard;
    TypingSession session(clock, clipboard);
    session.typeInto(&output);

    PanelWidget widget(session);
    LayerPanel panel(connection, &widget);
    const PanelGeometry geometry = panel.geometry();
    widget.place(geometry.scale, geometry.keysLeft);
    QObject::connect(&connection, &WaylandConnection::outputChanged, &widget, [&] {
        const PanelGeometry g = panel.geometry();
        widget.place(g.scale, g.keysLeft);
        panel.scheduleRepaint();
    });
    QObject::connect(&session, &TypingSession::keysChanged, &panel, &LayerPanel::scheduleRepaint);
    QObject::connect(&session, &TypingSession::candidatesChanged, &panel, &LayerPanel::scheduleRepaint);
    QObject::connect(&session, &TypingSession::popupChanged, &panel, &LayerPanel::scheduleRepaint);

    // The field with the focus: its kind and the text before its caret.
    FieldKind kindNow = FieldKind::Unknown;
    const auto followField = [&] {
        const FieldKind kind = fieldKindOf(inputMethod.state());
        if (kind != kindNow) {
            kindNow = kind;
            session.setFieldKind(kind);
        }
    };
    QObject::connect(&inputMethod, &InputMethod::activated, &panel, [&] {
        session.otherProgramFocusChanged();
        kindNow = FieldKind::Unknown;
        followField();
        panel.show();
    });
    QObject::connect(&inputMethod, &InputMethod::stateChanged, &panel, followField);
    QObject::connect(&inputMethod, &InputMethod::deactivated, &panel, [&] {
        session.otherProgramFocusChanged();
        kindNow = FieldKind::Unknown;
        session.setFieldKind(FieldKind::Unknown);
        if (!options.keepShown)
            panel.hide();
    });
    QObject::connect(&output, &WaylandKeyOutput::fieldTextChanged, &session, [&](const QString &text) {
        if (text.isNull())
            session.otherProgramFocusChanged();
        else
            session.setTextBeforeCaret(text);
    });
    QObject::connect(&session, &TypingSession::commandRequested, &panel, [&](const SessionCommand &command) {
        if (command.kind == SessionCommand::Kind::Exit)
            QCoreApplication::exit(0);
    });
    QObject::connect(&connection, &WaylandConnection::lost, &panel, [] { QCoreApplication::exit(1); });
    QObject::connect(&panel, &LayerPanel::closed, &panel, [] { QCoreApplication::exit(0); });

    if (options.keepShown)
        panel.show();
    return QCoreApplication::exec();
}

} // namespace wendrel
