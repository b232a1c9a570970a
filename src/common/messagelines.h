#pragma once
// The messages join their lines with a carriage return; a message box breaks
// lines only at a line feed, and some styles show a carriage return as nothing.

#include <QString>

// The text with each line break ("\r\n", a lone "\r" or "\n") as one "\n";
// nothing else changes.
QString MessageLines(QString text);
