#pragma once
// --maker for writing: the maker's parameters 40 to 59 are written only
// with the maker's password, as the window program switches maker mode on
// only with it. Asked before any file is read or any drive touched, from
// --maker-password-file FILE (a plain file its owner alone may read), else
// the environment variable ORVEX_MAKER_PASSWORD, else the terminal without
// echo; never a word of the command line, which others see in ps.

#include "clicommand.h"

inline constexpr char MakerPasswordVariable[] = "ORVEX_MAKER_PASSWORD";

// Adds --maker-password-file.
void AddMakerPasswordOption(QCommandLineParser &parser);
// Empty when the maker's password was given right; otherwise why not, in
// words for the user (never the password given).
QString CheckMakerPassword(Context &c);
