#pragma once
// The commissioning report laid out on pages (see commissioningreport.h).
// Without a painter it only counts the pages; with one it draws the pages in
// the chosen range, each with its footer. Both runs take the same decisions,
// so the count printed in the footers is the number of pages drawn.

#include <QPageRanges>

class QPagedPaintDevice;
class QPainter;
struct ReportData;

int LayOutReport(QPagedPaintDevice &device, const ReportData &data, QPainter *painter, int totalPages,
                 const QPageRanges &pages);
