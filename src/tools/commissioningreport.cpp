#include "commissioningreport.h"

#include "drive/csvfiles.h"
#include "drive/params/paramfile.h"
#include "drive/params/paramtext.h"
#include "drive/params/paramunits.h"
#include "drive/points/pointrules.h"
#include "drive/savefile.h"
#include "tools/reportlayout.h"

#include <QDir>
#include <QMessageBox>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>

namespace {

const QString Title = QStringLiteral("ORVEX commissioning report");
constexpr double MarginMm = 15;

// The parameter name without its leading "NN:".
QString nameWithoutNumber(const QString &name)
{
    const qsizetype colon = name.indexOf(u':');
    if (colon <= 0 || colon > 3) return name;
    for (qsizetype i = 0; i < colon; ++i)
        if (!name.at(i).isDigit()) return name;
    return name.mid(colon + 1).trimmed();
}

// A value as the report shows it: a hexadecimal one marked.
QString valueText(qint32 value, bool hex)
{
    const QString text = FieldText(value, hex).trimmed();
    return hex ? QStringLiteral("0x") + text : text;
}

void setUpPage(QPagedPaintDevice &device)
{
    device.setPageSize(QPageSize(QPageSize::A4));
    device.setPageOrientation(QPageLayout::Portrait);
    device.setPageMargins(QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter);
}

}  // namespace

ReportData MakeReportData(const QString &model, const QString &rom, const ParameterSet &params, bool makerMode,
                          const PointTable &points, const QDateTime &when)
{
    ReportData data;
    data.model = model;
    data.rom = rom;
    data.when = when;
    const int count = makerMode ? ParamCount : UserParamCount;
    for (int k = 0; k < count; ++k) {
        const bool hex = ParamIsHex(k);
        ReportParamRow row;
        row.number = k;
        row.name = nameWithoutNumber(ParamSpokenName(k));
        row.value = valueText(params.values[size_t(k)], hex);
        row.range = ParamRange(k);
        row.hex = hex;
        row.unit = ParamUnit(k);
        data.params.append(row);
    }
    const PointTexts texts = PointDataToTexts(points);
    for (int p = 0; p < PointCount; ++p) {
        auto at = [&](int column) { return texts[size_t(PointColumns * p + column)].trimmed(); };
        QString absInc = at(PointColumn::Inc);
        if (absInc == u"0") absInc += QStringLiteral(" (abs)");
        else if (absInc == u"1") absInc += QStringLiteral(" (inc)");
        data.points.append(
            {QString::number(p), absInc, at(PointColumn::Locate), at(PointColumn::Spd), at(PointColumn::KGJit)});
    }
    return data;
}

void SetReportReference(ReportData &data, const ParamValues &reference, const QString &name)
{
    data.reference = name;
    for (ReportParamRow &r : data.params) {
        if (r.number < 0 || r.number >= ParamCount) continue;
        r.reference = valueText(reference[size_t(r.number)], r.hex);
        r.differs = r.reference != r.value;
    }
}

std::optional<ParamValues> ReadReferenceParameters(const QString &path, QString *error)
{
    QString why;
    const std::optional<QByteArray> bytes = ReadCsvFile(path, &why);  // a pipe or device is never opened
    if (bytes && path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
        const CsvImport<ParameterSet> read = ReadParametersCsv(*bytes, ParameterSet{}, true);
        if (read.ok()) return read.values.values;
        why = read.error;
    } else if (bytes) {
        if (const std::optional<ParamValues> v = DecodeParamFile(*bytes)) return v;
        why = QStringLiteral("it is neither a parameter file (.pxt) nor a parameter CSV file");
    }
    if (error) *error = QStringLiteral("\"%1\" cannot be the reference: %2").arg(QDir::toNativeSeparators(path), why);
    return std::nullopt;
}

QList<AlarmLogEntry> ReportAlarmLog(const QList<AlarmLogEntry> &entries, const QString &port, int limit)
{
    QList<AlarmLogEntry> out;
    for (const AlarmLogEntry &e : entries)
        if (port.isEmpty() || e.port == port) out << e;
    return out.mid(std::max<qsizetype>(0, out.size() - limit));
}

int ReportPageCount(QPagedPaintDevice &device, const ReportData &data)
{
    return LayOutReport(device, data, nullptr, 0, {});
}

bool RenderReport(QPagedPaintDevice &device, const ReportData &data, const QPageRanges &pages)
{
    const int total = ReportPageCount(device, data);
    QPainter painter;
    if (!painter.begin(&device)) return false;
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    LayOutReport(device, data, &painter, total, pages);
    return painter.end();
}

bool WriteReportPdf(const QString &path, const ReportData &data, QString *error)
{
    auto fail = [&](const QString &reason) {
        if (error)
            *error = QStringLiteral("The report could not be written to \"%1\": %2")
                         .arg(QDir::toNativeSeparators(path), reason);
        return false;
    };
    if (path.isEmpty()) {
        if (error) *error = QStringLiteral("The report could not be written: no file name was given.");
        return false;
    }
    const SaveResult saved = SaveFileWith(path, [&data](QIODevice &device, QString *why) {
        // The writer finishes the document when it goes, before the flush.
        QPdfWriter writer(&device);
        // PDF/A-1b: fonts embedded, metadata in XMP, fit to be archived.
        writer.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
        writer.setResolution(300);
        setUpPage(writer);
        writer.setTitle(Title);
        writer.setCreator(QStringLiteral("ORVEX"));
        if (RenderReport(writer, data)) return true;
        *why = QStringLiteral("the pages could not be drawn.");
        return false;
    });
    return saved.ok || fail(saved.reason);
}

void PrintReport(QWidget *parent, const ReportData &data)
{
    QPrinter printer(QPrinter::HighResolution);
    setUpPage(printer);
    printer.setDocName(Title);

    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Print Commissioning Report"));
    dialog.setAccessibleName(QStringLiteral("Print the commissioning report"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintShowPageSize | QAbstractPrintDialog::PrintCollateCopies);
    dialog.setMinMax(1, ReportPageCount(printer, data));
    if (dialog.exec() != QDialog::Accepted) return;

    const QPageRanges pages = printer.printRange() == QPrinter::PageRange ? printer.pageRanges() : QPageRanges();
    if (RenderReport(printer, data, pages) && printer.printerState() != QPrinter::Error) return;

    const QString where = printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Print Commissioning Report"),
                    QStringLiteral("The report could not be printed on \"%1\". Check that the printer is ready "
                                   "(or that the file can be written) and try again.")
                        .arg(where.isEmpty() ? QStringLiteral("the chosen printer") : where),
                    QMessageBox::Ok, parent);
    box.setAccessibleName(QStringLiteral("Printing failed"));
    box.setAccessibleDescription(box.text());
    box.exec();
}
