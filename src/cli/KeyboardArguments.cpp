#include "KeyboardArguments.h"

#include "StandardStreams.h"

#include <QSet>

namespace wendrel::cli {

namespace {

bool isHelp(const QString &argument)
{
    return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

bool isKeyboardMode(const QString &argument)
{
    return argument == QLatin1String("--keyboard");
}

bool isKeepShown(const QString &argument)
{
    return argument == QLatin1String("--keep-shown");
}

bool isVersion(const QString &argument)
{
    return argument == QLatin1String("--version") || argument == QLatin1String("-v");
}

// The options that Qt's application object, its platform plugins and its style code take out
// of the command line (with one dash or two; some as -name=value). Which ones a given run
// takes depends on the platform, so this list only spares them the early refusal; the check
// after the toolkit sees what was really taken.
const QSet<QString> &toolkitOptionNames()
{
    static const QSet<QString> names{
        // QGuiApplication
        QStringLiteral("platform"), QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"), QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowtitle"),
        QStringLiteral("qwindowicon"), QStringLiteral("reverse"), QStringLiteral("session"),
        QStringLiteral("qmljsdebugger"), QStringLiteral("testability"),
        // the X11 names of the same, and the xcb plugin's own
        QStringLiteral("geometry"), QStringLiteral("title"), QStringLiteral("icon"), QStringLiteral("display"),
        QStringLiteral("name"), QStringLiteral("visual"), QStringLiteral("ncols"), QStringLiteral("cmap"),
        QStringLiteral("im"), QStringLiteral("inputstyle"), QStringLiteral("nograb"), QStringLiteral("dograb"),
        QStringLiteral("sync"),
        // QApplication
        QStringLiteral("style"), QStringLiteral("stylesheet"), QStringLiteral("widgetcount"),
    };
    return names;
}

bool isToolkitOption(const QString &argument)
{
    QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    name = name.left(name.indexOf(u'=')); // -style=fusion; left(-1) keeps the whole
    return toolkitOptionNames().contains(name);
}

Verdict refuse(const QString &error)
{
    return {Verdict::Action::Refuse, error};
}

QString refusalOf(const QString &argument)
{
    return argument.startsWith(u'-') && argument.size() > 1
        ? QStringLiteral("unknown option '%1'").arg(argument)
        : QStringLiteral("unexpected argument '%1'").arg(argument);
}

} // namespace

Verdict checkBeforeToolkit(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (isHelp(argument))
            return {Verdict::Action::ShowHelp, {}};
        if (isVersion(argument))
            return {Verdict::Action::ShowVersion, {}};
    }
    // A word that is not an option may be the value of a toolkit option (-style fusion), so
    // only options are judged here.
    Verdict verdict;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (isKeyboardMode(argument))
            verdict.keyboardMode = true;
        else if (isKeepShown(argument))
            verdict.keepShown = true;
        else if (argument.startsWith(u'-') && argument.size() > 1 && !isToolkitOption(argument))
            return refuse(refusalOf(argument));
    }
    return verdict;
}

Verdict checkAfterToolkit(const QStringList &arguments)
{
    Verdict verdict;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (isKeyboardMode(arguments[i]))
            verdict.keyboardMode = true;
        else if (isKeepShown(arguments[i]))
            verdict.keepShown = true;
        else
            return refuse(refusalOf(arguments[i]));
    }
    if (verdict.keepShown && !verdict.keyboardMode)
        return refuse(QStringLiteral("--keep-shown goes with --keyboard"));
    return verdict;
}

QString keyboardUsage()
{
    return QStringLiteral(
        "Usage: wendrel [OPTION]...\n"
        "On-screen keyboard and note pad with large coloured keys, for touch screens and desktops.\n"
        "\n"
        "      --keyboard   keyboard mode: a panel along the bottom of the screen that types\n"
        "                   into the program that has the focus (X11, or Wayland as the\n"
        "                   input method of sway or phoc), instead of the note pad\n"
        "      --keep-shown with --keyboard on Wayland: the panel stays shown when no text\n"
        "                   field has the focus\n"
        "  -h, --help       show this help and exit\n"
        "  -v, --version    show the version and exit\n"
        "\n"
        "Qt's own options are accepted, for example -platform NAME and -style NAME.\n"
        "Settings: config.dat and shortcut.dat in $XDG_CONFIG_HOME/wendrel (~/.config/wendrel).\n"
        "Programs for the Fn keys: $XDG_DATA_HOME/wendrel/Start Menu.\n"
        "See wendrel(1) for the keys, the files and the environment.\n");
}

int actOn(const QString &program, const Verdict &verdict, const QString &usage)
{
    switch (verdict.action) {
    case Verdict::Action::ShowHelp:
        return answer(program, usage);
    case Verdict::Action::ShowVersion:
        return answer(program, versionLine(program));
    case Verdict::Action::Refuse:
        complain(program, verdict.error + QStringLiteral(" (try '%1 --help')").arg(program));
        return 2;
    case Verdict::Action::Run:
        break;
    }
    return 0;
}

} // namespace wendrel::cli
