#pragma once
// The windows whose poll request differs, with what each brings to the poll:
// the benchmarks time the link and measure CPU with each of them active.

#include <QString>
#include <QWidget>
#include <utility>
#include <vector>

class MDItbl;

// "I/O monitor active (S, IO)" and the window, for the five windows with a
// poll tag and one without (the parameter window: "S" only).
std::vector<std::pair<QString, QWidget *>> PollWindows(MDItbl &app);
