#pragma once
// A secret typed at the terminal: the prompt and the answer go through the
// process's terminal itself (/dev/tty, as ssh and sudo do), whatever standard
// input and output are, with echo off while it is typed.

#include <QString>
#include <functional>
#include <optional>

// The line typed, without its end. Nothing with error empty when there is
// no terminal; with error set when it could not be read or interrupted
// came true (Ctrl+C) while waiting.
std::optional<QString> AskSecretAtTerminal(const QString &prompt, const std::function<bool()> &interrupted, QString *error);
