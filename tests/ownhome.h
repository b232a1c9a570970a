#pragma once
// Settings, backups and logs of a test program go to a folder of its own
// that goes away with it: programs run side by side, and one that ticks an
// option must not change what another starts with, nor touch the user's.
// Call it before the first setting is read.

#include <QByteArray>
#include <QTemporaryDir>

inline void UseOwnHome()
{
    static QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QByteArray(home.path().toLocal8Bit() + "/config"));
    qputenv("XDG_DATA_HOME", QByteArray(home.path().toLocal8Bit() + "/data"));
}
