// The "=" key: types "=" outside Fn mode; in Fn mode evaluates the formula before the caret
// and types "=" and the result behind it.
#include "FormulaEvaluator.h"
#include "KeyboardDialog.h"
#include "TextArea.h"

namespace wendrel {

namespace {

// A formula that starts at the beginning of the text is taken only when it is short: a long
// text without a space or line break is not a formula.
constexpr qsizetype maxHeadWithoutBreak = 256;

// The formula before position p: after the last space or line feed.
std::optional<QString> formulaBefore(const QString &text, qsizetype p)
{
    const QStringView head = QStringView(text).left(p);
    const qsizetype breakAt = std::max(head.lastIndexOf(u' '), head.lastIndexOf(u'\n'));
    if (breakAt < 0 && head.size() >= maxHeadWithoutBreak)
        return std::nullopt;
    return head.mid(breakAt + 1).toString();
}

} // namespace

void KeyboardDialog::onEqualsKey()
{
    const int equalsKey = keyIndexByRole(KeyRole::Equals);
    if (record.fnOn == 0) {
        typeChar(u'=');
        afterTap(equalsKey);
        return;
    }
    record.editText = text->pullText();
    const qsizetype p = text->readSelection().first;
    if (std::optional<QString> formula = formulaBefore(record.editText, p)) {
        const bool typedEquals = formula->endsWith(u'=');
        if (typedEquals)
            formula->chop(1);
        FormulaEvaluator evaluator(*formula);
        evaluator.Evaluate();
        if (evaluator.result != QLatin1String("Error")) {
            if (!typedEquals)
                text->postChar(u'=');
            for (QChar ch : std::as_const(evaluator.result))
                text->postChar(ch.unicode());
            text->pushText(record.editText);
        }
    }
    onFn();
    text->focusTextArea();
    afterTap(equalsKey);
}

} // namespace wendrel
