#pragma once
// What the program knows of each of the drive's sixty parameters: its name
// label, whether it is typed in hexadecimal, its range and its help text.
// Parameters 00..39 are the user set; 40..59 belong to the maker, have no range
// and no help, and are shown only in maker mode.

#include <QString>

inline constexpr int ParamCount = 60;
inline constexpr int UserParamCount = 40;
inline constexpr int ParamBlockSize = 10;
inline constexpr int ParamBlockCount = ParamCount / ParamBlockSize;

// The caption of the label beside field k, number included. A few end in a
// line break (CR LF) that shows nothing; a few carry only their number.
QString ParamName(int k);
// The name without a trailing line break: what a screen reader announces.
QString ParamSpokenName(int k);
// True for the parameters typed and shown in hexadecimal (their fields carry
// the tag "H").
bool ParamIsHex(int k);
// "min/max" for the user set; empty for the maker set.
QString ParamRange(int k);
// The help text for the user set (lines broken by line feeds); empty for the
// maker set.
QString ParamHelp(int k);
// The caption of tab t: "00-09" .. "50-59".
QString ParamTabCaption(int t);
