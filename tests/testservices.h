#pragma once
// The two services a test hands to the windows instead of the user's
// dialogs and the system's clock: a file chooser that answers from a list,
// and a clock the test moves (testclock.h, for the tests of the drive
// library alone).

#include "common/filechooser.h"
#include "testclock.h"

#include <QList>
#include <QString>
#include <optional>

// Answers each file dialog with the next of `answers` (nothing: cancel);
// when none is left, with `always` for its kind, else cancel. Every question
// asked is kept.
class TestFileChooser : public FileChooser {
public:
    QList<std::optional<QString>> answers;
    std::optional<QString> alwaysOpen;
    std::optional<QString> alwaysSave;
    QList<Ask> asked;

    std::optional<QString> choose(const Ask &ask) override
    {
        asked << ask;
        if (!answers.isEmpty()) return answers.takeFirst();
        return ask.save ? alwaysSave : alwaysOpen;
    }
};
