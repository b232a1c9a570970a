#include "displaycheck.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

bool set(const QProcessEnvironment &env, const char *name)
{
    return !env.value(QString::fromLatin1(name)).isEmpty();
}

// libwayland connects to $WAYLAND_DISPLAY, a socket handed over in
// $WAYLAND_SOCKET, or "wayland-0" in the runtime folder.
bool waylandThere(const QProcessEnvironment &env)
{
    if (set(env, "WAYLAND_DISPLAY") || set(env, "WAYLAND_SOCKET")) return true;
    const QString runtime = env.value(QStringLiteral("XDG_RUNTIME_DIR"));
    return !runtime.isEmpty() && QFileInfo::exists(QDir(runtime).filePath(QStringLiteral("wayland-0")));
}

}  // namespace

QString MissingDisplay(const QString &program, const QString &platform, const QString &display,
                       const QProcessEnvironment &env)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    const QString howTo = QStringLiteral("start it in a desktop session (or over ssh -X), or set "
                                         "QT_QPA_PLATFORM=offscreen to run it without a display, as the tests do");
    const bool x11 = !display.isEmpty() || set(env, "DISPLAY");
    // The platforms Qt tries in turn ("wayland;xcb"), each without its own options ("xcb:foo").
    const QString named = platform.isEmpty() ? env.value(QStringLiteral("QT_QPA_PLATFORM")) : platform;
    QStringList names;
    for (const QString &entry : named.split(u';', Qt::SkipEmptyParts)) {
        const QString name = entry.section(u':', 0, 0).trimmed().toLower();
        if (!name.isEmpty()) names << name;
    }
    if (names.isEmpty()) {
        if (x11 || waylandThere(env)) return {};
        return QStringLiteral("%1: no display for its windows: neither DISPLAY nor WAYLAND_DISPLAY is set; %2.").arg(program, howTo);
    }
    for (const QString &name : names) {
        if (name == u"xcb") {
            if (x11) return {};
        } else if (name.startsWith(u"wayland")) {
            if (waylandThere(env)) return {};
        } else {
            return {};  // offscreen, minimal, vnc, eglfs, ...: Qt knows
        }
    }
    const bool wantsX11 = names.contains(u"xcb"_qs);
    const bool wantsWayland = names.size() > (wantsX11 ? 1 : 0);
    const QString missing = wantsX11 && wantsWayland ? QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set")
                            : wantsX11               ? QStringLiteral("DISPLAY is not set")
                                                     : QStringLiteral("WAYLAND_DISPLAY is not set");
    return QStringLiteral("%1: no display for its windows on the platform \"%2\": %3; %4.").arg(program, named, missing, howTo);
#else
    Q_UNUSED(program);
    Q_UNUSED(platform);
    Q_UNUSED(display);
    Q_UNUSED(env);
    return {};
#endif
}
