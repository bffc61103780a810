// SPDX-FileCopyrightText: 2026 The GPS Quorvel developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "commandline.h"

#include "app/appinfo.h"

#include <QCoreApplication>
#include <QStringList>

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
    // itself only advises to reinstall the application.
    QString reason = text;
    for (const HeldMessage &message : std::as_const(heldMessages)) {
        if (message.category.startsWith("qt.qpa")) {
            reason = message.text;
            break;
        }
    }
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
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
    // display named but out of reach is caught as Qt starts (below).
    const bool x11 = platform.isEmpty() || platform.startsWith("xcb");
    const bool wayland = platform.isEmpty() || platform.startsWith("wayland");
    const bool reachable = (!x11 && !wayland) || (x11 && (!display.isEmpty() || displayOption))
        || (wayland && !waylandDisplay.isEmpty());
    if (!reachable)
        return {1, noDisplay(), {}};
    return {{}, {}, qtArguments};
}

} // namespace quorvel
