#pragma once
// The command line of wendrel-formula: formulas to evaluate, or none to read them from
// standard input. A formula may start with a minus sign ("-5+2"), so only a dash followed by a
// letter or a second dash starts an option; "--" ends the options.
#include "KeyboardArguments.h"

namespace wendrel::cli {

struct FormulaCommand {
    Verdict verdict;       // Run: evaluate `formulas`, or standard input when there are none
    QStringList formulas;
};

// arguments: the whole command line, program name first.
FormulaCommand parseFormulaArguments(const QStringList &arguments);

QString formulaUsage();

} // namespace wendrel::cli
