// The command lines of wendrel and wendrel-formula: what is answered, run or refused.
#include "FormulaArguments.h"
#include "KeyboardArguments.h"

#include <gtest/gtest.h>

using namespace wendrel::cli;
using Action = Verdict::Action;

namespace {

QStringList line(const QString &arguments)
{
    QStringList list{QStringLiteral("prog")};
    if (!arguments.isEmpty())
        list += arguments.split(u' ');
    return list;
}

} // namespace

TEST(KeyboardArguments, BeforeTheToolkit)
{
    struct Case {
        QString arguments;
        Action action;
        QString error;
    } cases[] = {
        {"", Action::Run, {}},
        {"--help", Action::ShowHelp, {}},
        {"-h", Action::ShowHelp, {}},
        {"--version", Action::ShowVersion, {}},
        {"-v", Action::ShowVersion, {}},
        {"-platform offscreen --help", Action::ShowHelp, {}},
        // Toolkit options pass, with one or two dashes and with "=value"; their values are
        // judged only after the toolkit has had them.
        {"-platform offscreen", Action::Run, {}},
        {"--platform offscreen -style=fusion -reverse", Action::Run, {}},
        {"-display :1 -geometry 240x320+0+0", Action::Run, {}},
        {"stray", Action::Run, {}},
        // Anything else that looks like an option is refused before a display is needed.
        {"--bogus", Action::Refuse, "unknown option '--bogus'"},
        {"-platform offscreen -x", Action::Refuse, "unknown option '-x'"},
        {"--helpme", Action::Refuse, "unknown option '--helpme'"},
        {"-stylex", Action::Refuse, "unknown option '-stylex'"},
    };
    for (const Case &c : cases) {
        const Verdict verdict = checkBeforeToolkit(line(c.arguments));
        EXPECT_EQ(verdict.action, c.action) << c.arguments.toStdString();
        EXPECT_EQ(verdict.error, c.error) << c.arguments.toStdString();
    }
}

TEST(KeyboardArguments, WhatTheToolkitLeftIsRefused)
{
    EXPECT_EQ(checkAfterToolkit(line("")).action, Action::Run);
    EXPECT_EQ(checkAfterToolkit(line("stray more")).error, "unexpected argument 'stray'");
    EXPECT_EQ(checkAfterToolkit(line("-geometry 10x10")).error, "unknown option '-geometry'");
    EXPECT_EQ(checkAfterToolkit(line("-")).error, "unexpected argument '-'");
}

TEST(KeyboardArguments, KeyboardModeIsAnOptionOfItsOwn)
{
    struct Case {
        QString arguments;
        bool before, after;
    } cases[] = {
        {"", false, false},
        {"--keyboard", true, true},
        {"-platform xcb --keyboard", true, true},
    };
    for (const Case &c : cases) {
        const Verdict before = checkBeforeToolkit(line(c.arguments));
        EXPECT_EQ(before.action, Action::Run) << c.arguments.toStdString();
        EXPECT_EQ(before.keyboardMode, c.before) << c.arguments.toStdString();
    }
    EXPECT_TRUE(checkAfterToolkit(line("--keyboard")).keyboardMode);
    EXPECT_EQ(checkAfterToolkit(line("--keyboard stray")).error, "unexpected argument 'stray'");
    EXPECT_EQ(checkBeforeToolkit(line("-keyboard")).error, "unknown option '-keyboard'");
}

// --keep-shown: keyboard mode's panel on Wayland stays without a text field; alone it means nothing.
TEST(KeyboardArguments, KeepShownGoesWithKeyboardMode)
{
    const Verdict both = checkAfterToolkit(line("--keep-shown --keyboard"));
    EXPECT_EQ(both.action, Action::Run);
    EXPECT_TRUE(both.keyboardMode);
    EXPECT_TRUE(both.keepShown);
    EXPECT_FALSE(checkAfterToolkit(line("--keyboard")).keepShown);
    EXPECT_EQ(checkBeforeToolkit(line("--keyboard --keep-shown")).action, Action::Run);
    const Verdict alone = checkAfterToolkit(line("--keep-shown"));
    EXPECT_EQ(alone.action, Action::Refuse);
    EXPECT_EQ(alone.error, "--keep-shown goes with --keyboard");
}

TEST(FormulaArguments, OptionsAndFormulas)
{
    struct Case {
        QString arguments;
        Action action;
        QStringList formulas;
        QString error;
    } cases[] = {
        {"", Action::Run, {}, {}},
        {"2+3*4", Action::Run, {"2+3*4"}, {}},
        {"1+1 7/2", Action::Run, {"1+1", "7/2"}, {}},
        // A leading minus sign is a formula, not an option.
        {"-5+2 -(1) -.5 -", Action::Run, {"-5+2", "-(1)", "-.5", "-"}, {}},
        {"-- --help -x", Action::Run, {"--help", "-x"}, {}},
        {"1 --help", Action::ShowHelp, {}, {}},
        {"-h", Action::ShowHelp, {}, {}},
        {"--version 1", Action::ShowVersion, {}, {}},
        {"-v", Action::ShowVersion, {}, {}},
        {"-x", Action::Refuse, {}, "unknown option '-x'"},
        {"1 --all", Action::Refuse, {}, "unknown option '--all'"},
    };
    for (const Case &c : cases) {
        const FormulaCommand command = parseFormulaArguments(line(c.arguments));
        EXPECT_EQ(command.verdict.action, c.action) << c.arguments.toStdString();
        EXPECT_EQ(command.formulas, c.formulas) << c.arguments.toStdString();
        EXPECT_EQ(command.verdict.error, c.error) << c.arguments.toStdString();
    }
}
