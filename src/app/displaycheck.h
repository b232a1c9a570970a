#pragma once
// Whether the windows have somewhere to go, asked before QApplication is
// built: without a display Qt's platform plugin aborts the program (a core
// dump) after messages a user cannot act on. Only a plainly missing display
// is refused: an X11 platform without $DISPLAY (or -display), Wayland
// without its socket, or neither when no platform is named. Every other
// platform (offscreen, minimal, vnc, eglfs, ...) is left to Qt.

#include <QProcessEnvironment>
#include <QString>

// Empty when the windows can be tried; otherwise one line saying what is
// missing and how to run the program. platform and display are the
// command line's -platform and -display (empty when not given).
QString MissingDisplay(const QString &program, const QString &platform, const QString &display,
                       const QProcessEnvironment &environment);
