#pragma once
// The keyboard program's command line. Its own options are --keyboard (keyboard mode: a panel
// that types into other programs instead of the note pad), --help and --version; the toolkit's options (-platform NAME, -style NAME, ...) pass to Qt. The line is
// checked twice: before the application object exists, so that --help and --version need no
// display and a plain mistake is told before Qt looks for one, and after Qt has taken out the
// options it understood, so that whatever is left is refused.
#include <QString>
#include <QStringList>

namespace wendrel::cli {

struct Verdict {
    enum class Action { Run, ShowHelp, ShowVersion, Refuse };
    Action action = Action::Run;
    QString error; // one line, for Refuse
    bool keyboardMode = false; // --keyboard was given
    bool keepShown = false;    // --keep-shown: on Wayland the panel stays without a text field
};

// arguments: the whole command line, program name first.
Verdict checkBeforeToolkit(const QStringList &arguments);
// arguments: what the application object left of the command line, program name first.
Verdict checkAfterToolkit(const QStringList &arguments);

QString keyboardUsage();

// Acts on a verdict other than Run: prints the help or the version (exit status 0, or 1
// when standard output cannot be written), or the error and a pointer to --help (status 2).
int actOn(const QString &program, const Verdict &verdict, const QString &usage);

} // namespace wendrel::cli
