// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "commandline.h"

#include "app/appinfo.h"
#include "text/reasontext.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace quorvel {

namespace {

// Qt's command-line options: those that take a value, and those that do not.
const QStringList QtValueOptions{QStringLiteral("platform"),
                                 QStringLiteral("platformpluginpath"),
                                 QStringLiteral("platformtheme"),
                                 QStringLiteral("plugin"),
                                 QStringLiteral("qmljsdebugger"),
                                 QStringLiteral("qwindowgeometry"),
                                 QStringLiteral("qwindowicon"),
                                 QStringLiteral("qwindowtitle"),
                                 QStringLiteral("session"),
                                 QStringLiteral("display"),
                                 QStringLiteral("geometry"),
                                 QStringLiteral("style"),
                                 QStringLiteral("stylesheet"),
                                 QStringLiteral("name"),
                                 QStringLiteral("title"),
                                 QStringLiteral("fontengine"),
                                 QStringLiteral("dialogs"),
                                 QStringLiteral("font"),
                                 QStringLiteral("fn"),
                                 QStringLiteral("bg"),
                                 QStringLiteral("fg"),
                                 QStringLiteral("btn"),
                                 QStringLiteral("visual"),
                                 QStringLiteral("ncols"),
                                 QStringLiteral("cmap")};
const QStringList QtFlags{QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
                          QStringLiteral("dograb"), QStringLiteral("sync")};

QString help()
{
    return QCoreApplication::translate(
        "CommandLine",
        "Usage: quorvel [OPTION]... [QT OPTION]...\n"
        "GPS Quorvel shows the NMEA 0183 sentences of a GPS receiver, logs and averages\n"
        "its position fixes, and sets the PC clock from GPS time.\n"
        "\n"
        "  -h, --help       show this help and exit\n"
        "  -v, --version    show the version and exit\n"
        "\n"
        "Qt's own options (-platform NAME, -style NAME, -geometry WxH+X+Y, -reverse...)\n"
        "are accepted too.\n"
        "\n"
        "Settings: $XDG_CONFIG_HOME/Quorvel/Quorvel.conf (~/.config/Quorvel/Quorvel.conf).\n"
        "The receiver for COM n is [Ports] COMn= in that file; see quorvel(1).\n");
}

QString noDisplay()
{
    return QCoreApplication::translate("CommandLine",
                                       "quorvel: no display: GPS Quorvel needs a graphical session "
                                       "(DISPLAY or WAYLAND_DISPLAY), or a Qt platform such as "
                                       "QT_QPA_PLATFORM=offscreen.\n");
}

struct HeldMessage
{
    QtMsgType type;
    QByteArray file, function, category;
    int line;
    QString text;
};
QtMessageHandler previousHandler = nullptr;
QList<HeldMessage> heldMessages;

void holdMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        heldMessages.append({type, context.file, context.function, context.category, context.line, text});
        return;
    }
    // Qt's platform messages hold the reason ("could not connect to display
    // :93", "Could not find the Qt platform plugin ..."); the fatal message
    // itself only advises to reinstall the application. Of a list of
    // platforms, each tried says why it failed: a platform's own reason,
    // else the plugin loader's ("Could not load the Qt platform plugin
    // "xcb" ... even though it was found" only sums up the reason before it).
    QStringList reasons;
    bool explained = false;
    for (const HeldMessage &message : std::as_const(heldMessages)) {
        if (!message.category.startsWith("qt.qpa"))
            continue;
        const bool loader = message.category == "qt.qpa.plugin";
        if (!(loader && explained))
            reasons << text::reasonText(message.text);
        // A platform is done with once the loader names it ("Could not load
        // the Qt platform plugin "xcb" ..."); its hints before that (Qt 6.5
        // on: "xcb-cursor0 or libxcb-cursor0 is needed") add nothing to a
        // reason already given.
        if (!loader)
            explained = true;
        else if (message.text.contains(QLatin1String("platform plugin \"")))
            explained = false;
    }
    const QString reason = reasons.isEmpty() ? text::reasonText(text) : reasons.join(QStringLiteral("; "));
    const QString line
        = QCoreApplication::translate("CommandLine",
                                      "quorvel: cannot show the window: %1. GPS Quorvel needs a "
                                      "graphical session (DISPLAY or WAYLAND_DISPLAY), or a Qt "
                                      "platform such as QT_QPA_PLATFORM=offscreen.\n")
              .arg(reason);
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    // Not exit(): QApplication is half made, and the statics must not be
    // torn down from inside its constructor.
    std::_Exit(1);
}

} // namespace

void startingWindowSystem()
{
    previousHandler = qInstallMessageHandler(holdMessage);
}

void windowSystemStarted()
{
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage &message : std::as_const(heldMessages)) {
        const QMessageLogContext context(message.file.constData(), message.line, message.function.constData(),
                                         message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
    heldMessages.clear();
}

CommandLine readCommandLine(int argc, const char *const *argv, const QByteArray &qpaPlatform,
                            const QByteArray &display, const QByteArray &waylandDisplay)
{
    QByteArray platform = qpaPlatform;
    bool displayOption = false;
    QList<QByteArray> qtArguments{argc > 0 ? QByteArray(argv[0]) : QByteArrayLiteral("quorvel")};
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        QString name = argument;
        while (name.startsWith(QLatin1Char('-')))
            name.remove(0, 1);
        name = name.section(QLatin1Char('='), 0, 0);
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help"))
            return {0, help(), {}};
        if (argument == QLatin1String("-v") || argument == QLatin1String("--version"))
            return {0, QStringLiteral("quorvel %1\n").arg(Version), {}};
        if (argument.startsWith(QLatin1Char('-')) && QtFlags.contains(name)) {
            qtArguments.append(argv[i]);
            continue;
        }
        if (argument.startsWith(QLatin1Char('-')) && QtValueOptions.contains(name)) {
            const QByteArray option(argv[i]);
            const qsizetype equals = option.indexOf('=');
            QByteArray value;
            if (equals >= 0) {
                value = option.mid(equals + 1);
                qtArguments << option.left(equals) << value;
            } else {
                qtArguments << option;
                if (i + 1 < argc) {
                    value = argv[++i];
                    qtArguments << value;
                }
            }
            if (name == QLatin1String("platform"))
                platform = value;
            if (name == QLatin1String("display"))
                displayOption = true;
            continue;
        }
        return {2,
                QCoreApplication::translate("CommandLine",
                                            "quorvel: unknown option or argument '%1'.\n"
                                            "Try 'quorvel --help' for the options.\n")
                    .arg(argument),
                {}};
    }

    // Without a display at all Qt would abort: say so before it starts. A
    // display named but out of reach is caught as Qt starts (below). Qt
    // tries a list of platforms ("wayland;xcb") in turn, each with its
    // arguments after a colon ("xcb:nograb"): one within reach is enough.
    const bool x11Reachable = !display.isEmpty() || displayOption;
    const bool waylandReachable = !waylandDisplay.isEmpty();
    const auto reachable = [&](const QByteArray &name) {
        if (name.startsWith("xcb"))
            return x11Reachable;
        if (name.startsWith("wayland"))
            return waylandReachable;
        return true;
    };
    QList<QByteArray> platforms = platform.split(';');
    platforms.removeAll(QByteArray());
    const bool anyReachable = platforms.isEmpty()
        ? x11Reachable || waylandReachable
        : std::any_of(platforms.cbegin(), platforms.cend(), reachable);
    if (!anyReachable)
        return {1, noDisplay(), {}};
    return {{}, {}, qtArguments};
}

} // namespace quorvel
