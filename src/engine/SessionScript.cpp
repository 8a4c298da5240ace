#include "SessionScript.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QLocale>
#include <cmath>

namespace wendrel {

namespace {

using Result = SessionScript::Result;

Result failure(const QString &message)
{
    return {std::nullopt, message};
}

// Coordinates: decimal numbers, fractions allowed; infinities and NaN are not points.
std::optional<QPointF> parsePoint(const QList<QStringView> &arguments)
{
    if (arguments.size() != 2)
        return std::nullopt;
    bool okX = false, okY = false;
    const double x = QLocale::c().toDouble(arguments[0], &okX);
    const double y = QLocale::c().toDouble(arguments[1], &okY);
    if (!okX || !okY || !std::isfinite(x) || !std::isfinite(y))
        return std::nullopt;
    return QPointF(x, y);
}

bool isBlank(QChar ch)
{
    return ch == u' ' || ch == u'\t';
}

// The words of an event's arguments, separated by spaces or tabs.
QList<QStringView> wordsOf(QStringView text)
{
    QList<QStringView> words;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        const qsizetype start = i;
        while (i < text.size() && !isBlank(text[i]))
            ++i;
        if (i > start)
            words.append(text.sliced(start, i - start));
    }
    return words;
}

QString shorten(QStringView text)
{
    constexpr qsizetype shown = 40;
    return text.size() <= shown ? text.toString() : text.left(shown).toString() + QStringLiteral("...");
}

// Text and a position in it, in normalisation form C (only text pasted from the clipboard can
// hold decomposed characters; keys type composed ones).
struct Normalised {
    QString text;
    int caret, anchor;
};

Normalised normalised(const QString &raw, int caret, int anchor)
{
    QString nfc = raw.normalized(QString::NormalizationForm_C);
    if (nfc == raw)
        return {std::move(nfc), caret, anchor};
    auto map = [&](int position) { return int(raw.left(position).normalized(QString::NormalizationForm_C).size()); };
    return {std::move(nfc), map(caret), map(anchor)};
}

} // namespace

SessionScript::SessionScript() : typing(manualClock, memoryClipboard)
{
    QObject::connect(&typing, &TypingSession::commandRequested, &typing,
                     [this](const SessionCommand &command) { pendingCommand = command.caption; });
}

void SessionScript::typeIntoRecorder()
{
    recording = std::make_unique<RecordingOutput>();
    typing.typeInto(recording.get());
}

int SessionScript::keyByName(QStringView name)
{
    // Keyboard mode's captions name the keys too.
    if (name == u"Esc")
        return keyIndexByRole(KeyRole::Load);
    if (name == u"Tab")
        return keyIndexByRole(KeyRole::Save);
    if (name == u"Ctrl")
        return keyIndexByRole(KeyRole::Shortcut);
    if (name.startsWith(u'#')) {
        bool ok = false;
        const int id = name.mid(1).toInt(&ok);
        return ok ? keyIndexById(id) : -1;
    }
    // Three symbols are on two keys: the plain name is the key that follows Shift, "pad"
    // and the symbol the number block's key.
    const bool pad = name.startsWith(QLatin1String("pad")) && name.size() == 4;
    const QStringView caption = pad ? name.mid(3) : name;
    const auto table = keyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const KeyDef &key = table[i];
        if (keyCaption(key, false, false, false) != caption)
            continue;
        const bool twin = caption == u"-" || caption == u"/" || caption == u".";
        if (twin ? (key.role == KeyRole::Character) == pad : !pad)
            return int(i);
    }
    return -1;
}

void SessionScript::tapAt(QPointF point)
{
    typing.press(point);
    manualClock.advance(tapMs);
    typing.release(point);
}

Result SessionScript::run(QStringView line)
{
    const QStringView trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return failure(QStringLiteral("empty line"));
    qsizetype space = 0;
    while (space < trimmed.size() && !isBlank(trimmed[space]))
        ++space;
    return runEvent(trimmed.left(space), trimmed.mid(space).trimmed());
}

Result SessionScript::runEvent(QStringView word, QStringView rest)
{
    const QList<QStringView> arguments = wordsOf(rest);
    auto noArguments = [&](const QString &name) -> std::optional<Result> {
        if (!rest.isEmpty())
            return failure(QStringLiteral("'%1' takes no arguments").arg(name));
        return std::nullopt;
    };

    if (word == u"key") {
        if (arguments.size() != 1)
            return failure(QStringLiteral("'key' needs one key name, for example 'key a' or 'key Space'"));
        const int key = keyByName(arguments[0]);
        if (key < 0)
            return failure(QStringLiteral("no key is named '%1'").arg(shorten(arguments[0])));
        tapAt(TypingSession::keyCentre(key));
        return {};
    }
    if (word == u"tap" || word == u"press" || word == u"move" || word == u"release") {
        const std::optional<QPointF> point = parsePoint(arguments);
        if (!point)
            return failure(QStringLiteral("'%1' needs two numbers, X and Y").arg(word));
        if (word == u"tap")
            tapAt(*point);
        else if (word == u"press")
            typing.press(*point);
        else if (word == u"move")
            typing.move(*point);
        else
            typing.release(*point);
        return {};
    }
    if (word == u"wait") {
        bool ok = false;
        const qlonglong ms = arguments.size() == 1 ? arguments[0].toLongLong(&ok) : 0;
        if (!ok || ms < 0)
            return failure(QStringLiteral("'wait' needs a whole number of milliseconds, 0 or more"));
        if (ms > maxWaitMs || manualClock.now() > maxWaitMs)
            return failure(QStringLiteral("'wait' of %1 ms goes past the session clock's range").arg(ms));
        manualClock.advance(ms);
        return {};
    }
    if (word == u"pick") {
        bool ok = false;
        const int n = arguments.size() == 1 ? arguments[0].toInt(&ok) : 0;
        if (!ok || n < 1 || n > TypingSession::candidateCount)
            return failure(QStringLiteral("'pick' needs a candidate number, 1, 2 or 3"));
        typing.pick(n - 1);
        return {};
    }
    if (word == u"clipboard") {
        if (rest.isEmpty())
            return failure(QStringLiteral("'clipboard' needs a JSON string, for example clipboard \"text\""));
        QJsonParseError error;
        const QJsonDocument parsed = QJsonDocument::fromJson(QStringLiteral("[%1]").arg(rest).toUtf8(), &error);
        if (error.error != QJsonParseError::NoError || parsed.array().size() != 1 || !parsed.array().at(0).isString())
            return failure(QStringLiteral("'clipboard' needs one JSON string, for example clipboard \"a\\nb\""));
        memoryClipboard.setText(parsed.array().at(0).toString());
        return {};
    }
    if (recording && (word == u"focus" || word == u"caret-moved")) {
        if (auto refused = noArguments(word.toString()))
            return *refused;
        if (word == u"focus")
            typing.otherProgramFocusChanged();
        else
            typing.otherProgramCaretMoved();
        return {};
    }
    if (recording && word == u"field") {
        static const std::pair<const char16_t *, FieldKind> kinds[] = {
            {u"unknown", FieldKind::Unknown}, {u"text", FieldKind::Text},   {u"password", FieldKind::Password},
            {u"terminal", FieldKind::Terminal}, {u"email", FieldKind::Email}, {u"url", FieldKind::Url},
            {u"number", FieldKind::Number},
        };
        for (const auto &[name, kind] : kinds) {
            if (arguments.size() == 1 && arguments[0] == QStringView(name)) {
                typing.setFieldKind(kind);
                return {};
            }
        }
        return failure(QStringLiteral("'field' needs one of unknown, text, password, terminal, email, url, number"));
    }
    if (recording && word == u"before") {
        QJsonParseError error;
        const QJsonDocument parsed = QJsonDocument::fromJson(QStringLiteral("[%1]").arg(rest).toUtf8(), &error);
        if (rest.isEmpty() || error.error != QJsonParseError::NoError || parsed.array().size() != 1
            || !parsed.array().at(0).isString())
            return failure(QStringLiteral("'before' needs one JSON string, for example before \"Dear Sir,\\n\""));
        typing.setTextBeforeCaret(parsed.array().at(0).toString());
        return {};
    }
    if (word == u"reset") {
        if (auto refused = noArguments(QStringLiteral("reset")))
            return *refused;
        typing.reset();
        pendingCommand.reset();
        if (recording) {
            recording->clearLog();
            recording->setFieldText({});
        }
        return {};
    }
    if (word == u"state") {
        if (auto refused = noArguments(QStringLiteral("state")))
            return *refused;
        return {QString::fromUtf8(QJsonDocument(state()).toJson(QJsonDocument::Compact)), {}};
    }
    return failure(QStringLiteral("unknown event '%1'").arg(shorten(word)));
}

QJsonObject SessionScript::state()
{
    const Normalised text = normalised(typing.plainText(), typing.caret(), typing.anchor());
    QJsonArray candidates;
    for (const QString &candidate : typing.candidates())
        candidates.append(candidate.normalized(QString::NormalizationForm_C));
    QJsonArray popup;
    for (const PopupCell &cell : typing.popup()) {
        popup.append(QJsonObject{{QStringLiteral("text"), cell.text.normalized(QString::NormalizationForm_C)},
                                 {QStringLiteral("x"), cell.rect.center().x()},
                                 {QStringLiteral("y"), cell.rect.center().y()}});
    }
    QJsonObject answer{
        {QStringLiteral("text"), text.text},
        {QStringLiteral("caret"), text.caret},
        {QStringLiteral("anchor"), text.anchor},
        {QStringLiteral("shift"), typing.shiftOn()},
        {QStringLiteral("caps"), typing.capsOn()},
        {QStringLiteral("fn"), typing.fnOn()},
        {QStringLiteral("candidates"), candidates},
        {QStringLiteral("popup"), popup},
        {QStringLiteral("command"), pendingCommand ? QJsonValue(*pendingCommand) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("time"), double(manualClock.now())},
    };
    pendingCommand.reset();
    if (recording) {
        answer.insert(QStringLiteral("ctrl"), typing.ctrlOn());
        answer.insert(QStringLiteral("known"), typing.textBeforeCaretKnown());
        QJsonArray sent;
        for (const QJsonObject &send : recording->sends())
            sent.append(send);
        recording->clearLog();
        answer.insert(QStringLiteral("sent"), sent);
        answer.insert(QStringLiteral("field"), recording->fieldText().normalized(QString::NormalizationForm_C));
    }
    return answer;
}

} // namespace wendrel
