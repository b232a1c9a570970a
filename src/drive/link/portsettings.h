#pragma once
// Port settings: the port number, offline mode, and the last pair known to work.

#include <QtGlobal>

struct PortSettings {
    qint16 PortNo = 1;
    qint16 OfflineMode = 0;  // 1 = offline: no port, nothing sent
    qint16 SavedPortNo = 1;
    qint16 SavedOffline = 0;

    void SavePortSettings()
    {
        SavedPortNo = PortNo;
        SavedOffline = OfflineMode;
    }
    void RestorePortSettings()
    {
        PortNo = SavedPortNo;
        OfflineMode = SavedOffline;
    }
};
