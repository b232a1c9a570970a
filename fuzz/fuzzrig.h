#pragma once
// What the fuzz targets share: one QApplication on the offscreen platform for
// the whole run, and the main window with every child window on an in-memory
// port, in a scratch directory, with no timer running and no question or
// message left waiting for a person.

#include "app/mditbl.h"
#include "common/filechooser.h"
#include "drive/link/memoryport.h"
#include "drive/session.h"

#include <QList>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <optional>

// The file dialogs' answers: the next of `answers`, else cancel.
class OfferedFiles : public FileChooser {
public:
    QList<QString> answers;
    std::optional<QString> choose(const Ask &) override
    {
        if (answers.isEmpty()) return std::nullopt;
        return answers.takeFirst();
    }
};

class FuzzRig {
public:
    // Created on first use and kept for the whole run.
    static FuzzRig &instance();

    MDItbl &app() { return *m_app; }
    Session &session() { return *m_session; }
    DriveLink &link() { return m_session->link; }
    MemoryPort port;
    OfferedFiles files;
    QString scratch(const QString &name) const { return m_dir.filePath(name); }

    // The answer to "It failed in the communication.": Retry or Cancel.
    bool retryAnswer = false;

    // One tick of the 100 ms timer.
    void tick(int n = 1);
    // Closes the next modal message box as soon as it shows (its default
    // button), as a person reading it would.
    static void answerNextModal();
    // Back to a known start: no transfer or capture running, the port open
    // and a request in flight, nothing written kept.
    void reset();

private:
    FuzzRig();
    // In memory where there is a memory file system: a saved file is synced
    // to its disk, which would take most of the time of each input.
    static QString scratchTemplate();
    QTemporaryDir m_dir{scratchTemplate()};
    std::unique_ptr<Session> m_session;
    std::unique_ptr<MDItbl> m_app;
};

// The fuzz targets fail loudly on a broken rule, so the fuzzer records the input.
#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) fuzzCheckFailed(#cond, __FILE__, __LINE__);                           \
    } while (0)
[[noreturn]] void fuzzCheckFailed(const char *what, const char *file, int line);
