#pragma once
// The main window on an in-memory port, in a fresh current directory, its
// tick stopped and driven by the test; the drive answers only what the test
// answers. Not shown: each test shows it as it needs.

#include "app/mditbl.h"
#include "app/titlebar.h"
#include "common/childwindow.h"
#include "drive/link/memoryport.h"
#include "drive/session.h"
#include "testservices.h"

#include <QDir>
#include <QMdiArea>
#include <QTemporaryDir>
#include <memory>

struct MainWindowRig {
    QTemporaryDir dir;
    MemoryPort port;
    TestFileChooser files;
    std::unique_ptr<Session> session;
    std::unique_ptr<MDItbl> app;
    int exits = 0;  // programEnded, counted

    explicit MainWindowRig(const SessionSetup &setup = {})
    {
        QDir::setCurrent(dir.path());
        session = std::make_unique<Session>(port, setup);
        app = std::make_unique<MDItbl>(*session, files);
        app->titleBar->TimerDateTime.stop();
        QObject::connect(app.get(), &MDItbl::programEnded, app.get(), [this] { ++exits; });
    }
    void activate(QWidget *child) { app->mdiArea->setActiveSubWindow(app->frameOf(child)); }
    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i) app->titleBar->TimerDateTime_Timer();
    }
};
