#include "waveanalysiswindow.h"

#include "drive/savefile.h"

#include "common/dlogfile.h"
#include "common/messagelines.h"
#include "drive/wave/wavefile.h"
#include "tools/captureplot.h"
#include "tools/capturelist.h"
#include "drive/wave/waveanalysis.h"

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

namespace WA = WaveAnalysis;

namespace {

const QString WaveFilter = QStringLiteral("Tavix-DRIVE graphical data files(*.wvt)|*.wvt");
const QString CsvFilter = QStringLiteral("CSV files(*.csv)|*.csv");
const QString PngFilter = QStringLiteral("PNG images(*.png)|*.png");
const QString PdfFilter = QStringLiteral("PDF files(*.pdf)|*.pdf");

// A capture keeps its colour while it is listed.
QColor CaptureColour(int id)
{
    static const QColor colours[] = {QColor(31, 119, 180), QColor(255, 127, 14), QColor(44, 160, 44),
                                     QColor(214, 39, 40),  QColor(148, 103, 189), QColor(140, 86, 75),
                                     QColor(227, 119, 194), QColor(127, 127, 127), QColor(188, 189, 34),
                                     QColor(23, 190, 207)};
    return colours[(id - 1 + 10 * 1000) % 10];
}

QString Number(double v, int decimals) { return QString::number(v, 'f', decimals); }

QString WithUnit(double v, int decimals, const QString &unit)
{
    return Number(v, decimals) + (unit.isEmpty() ? QString() : QLatin1Char(' ') + unit);
}

QString FigureText(const WA::StepFigure &f, int decimals, const QString &unit)
{
    return f.value ? WithUnit(*f.value, decimals, unit) : WA::MissingText(f.missing);
}

QTableWidget *MakeTable(const QString &name, const QStringList &headers, QWidget *parent)
{
    auto *t = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    t->setObjectName(name);
    t->setAccessibleName(name);
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void SetRow(QTableWidget *t, int row, const QStringList &cells, const QColor &colour)
{
    for (int c = 0; c < cells.size(); ++c) {
        auto *item = new QTableWidgetItem(cells[c]);
        if (c == 0) item->setForeground(colour);
        t->setItem(row, c, item);
    }
}

// The traces of a capture in physical units, and its span between two times.
struct Traces {
    const ListedCapture *item;
    WA::PhysicalTrace p;
};

}  // namespace

WaveAnalysisWindow::WaveAnalysisWindow(CaptureList &captures, QWidget *parent)
    : ChildWindow(QStringLiteral("WaveAnalysis"), QStringLiteral("Waveform Analysis"), QStringLiteral("A"), parent),
      m_captures(captures)
{
    setAcceptDrops(true);
    buildControls();
    connect(&m_captures, &CaptureList::changed, this, [this] {
        refreshList();
        refreshPlots();
    });
    refreshList();
    refreshPlots();
}

void WaveAnalysisWindow::buildControls()
{
    auto button = [this](const QString &caption, const QString &name, const QString &tip) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAccessibleName(caption);
        b->setToolTip(tip);
        return b;
    };
    auto list = [this](const QString &name, const QStringList &items, const QString &tip) {
        auto *c = new QComboBox(this);
        c->setObjectName(name);
        c->addItems(items);
        c->setAccessibleName(tip);
        c->setToolTip(tip);
        return c;
    };

    LstCaptures = new QListWidget(this);
    LstCaptures->setObjectName(QStringLiteral("LstCaptures"));
    LstCaptures->setAccessibleName(QStringLiteral("Captures"));
    LstCaptures->setToolTip(QStringLiteral("Tick the captures to show; F2 or a double-click renames one."));
    LstCaptures->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::DoubleClicked);
    connect(LstCaptures, &QListWidget::itemChanged, this, &WaveAnalysisWindow::listItemChanged);
    LblEmpty = new QLabel(QStringLiteral("No captures yet. Run a capture in the Graphical Monitor, or open or drop "
                                         "a waveform file (.wvt) here."),
                          this);
    LblEmpty->setObjectName(QStringLiteral("LblEmpty"));
    LblEmpty->setWordWrap(true);
    CmdRename = button(QStringLiteral("Rename"), QStringLiteral("CmdRename"), QStringLiteral("Rename the selected capture"));
    CmdRemove = button(QStringLiteral("Remove"), QStringLiteral("CmdRemove"), QStringLiteral("Remove the selected capture from the list"));
    CmdOpen = button(QStringLiteral("Open..."), QStringLiteral("CmdOpen"), QStringLiteral("Add a waveform file (.wvt) to the list"));
    CmdSave = button(QStringLiteral("Save..."), QStringLiteral("CmdSave"), QStringLiteral("Save the selected capture as a waveform file (.wvt)"));
    connect(CmdRename, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem *item = LstCaptures->currentItem()) LstCaptures->editItem(item);
    });
    connect(CmdRemove, &QPushButton::clicked, this, [this] {
        if (const int id = selectedCapture()) m_captures.remove(id);
    });
    connect(CmdOpen, &QPushButton::clicked, this, &WaveAnalysisWindow::openChosen);
    connect(CmdSave, &QPushButton::clicked, this, &WaveAnalysisWindow::saveSelected);

    CmbView = list(QStringLiteral("CmbView"), {QStringLiteral("Time"), QStringLiteral("Spectrum")},
                   QStringLiteral("View"));
    CmbSpan = list(QStringLiteral("CmbSpan"), {QStringLiteral("Between Cursors"), QStringLiteral("Whole Capture")},
                   QStringLiteral("Measure over"));
    CmbBand = list(QStringLiteral("CmbBand"), {QStringLiteral("Settle ±2 %"), QStringLiteral("Settle ±5 %")},
                   QStringLiteral("Settling band"));
    CmbWindow = list(QStringLiteral("CmbWindow"), {QStringLiteral("Rectangular"), QStringLiteral("Hann")},
                     QStringLiteral("Spectrum window"));
    CmdFit = button(QStringLiteral("Fit"), QStringLiteral("CmdFit"), QStringLiteral("Show everything (Home)"));
    CmdCsv = button(QStringLiteral("CSV..."), QStringLiteral("CmdCsv"), QStringLiteral("Export the shown captures as CSV"));
    CmdPng = button(QStringLiteral("PNG..."), QStringLiteral("CmdPng"), QStringLiteral("Save the plot as shown as a PNG image"));
    CmdPdf = button(QStringLiteral("PDF..."), QStringLiteral("CmdPdf"), QStringLiteral("Save the plot and its measurements as a PDF file"));
    CmdPrint = button(QStringLiteral("Print..."), QStringLiteral("CmdPrint"), QStringLiteral("Print the plot and its measurements"));
    connect(CmdCsv, &QPushButton::clicked, this, [this] { exportChosen(0); });
    connect(CmdPng, &QPushButton::clicked, this, [this] { exportChosen(1); });
    connect(CmdPdf, &QPushButton::clicked, this, [this] { exportChosen(2); });
    connect(CmdPrint, &QPushButton::clicked, this, &WaveAnalysisWindow::printPlot);

    TimePlot = new PlotStack(QStringLiteral("Time from trigger [ms]"),
                             {{QStringLiteral("Speed plot"), QStringLiteral("Speed, rpm"), false},
                              {QStringLiteral("Torque plot"), QStringLiteral("Torque, %"), false},
                              {QStringLiteral("Status plot"), QStringLiteral("Status"), true}},
                             2, this);
    TimePlot->setObjectName(QStringLiteral("TimePlot"));
    TimePlot->setAccessibleName(QStringLiteral("Waveform plot"));
    SpectrumPlot = new PlotStack(QStringLiteral("Frequency [Hz]"),
                                 {{QStringLiteral("Speed spectrum"), QStringLiteral("Speed, dB rpm"), false},
                                  {QStringLiteral("Torque spectrum"), QStringLiteral("Torque, dB %"), false}},
                                 1, this);
    SpectrumPlot->setObjectName(QStringLiteral("SpectrumPlot"));
    SpectrumPlot->setAccessibleName(QStringLiteral("Spectrum plot"));
    Pages = new QStackedWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    Pages->addWidget(TimePlot);
    Pages->addWidget(SpectrumPlot);

    LblCursors = new QLabel(this);
    LblCursors->setObjectName(QStringLiteral("LblCursors"));
    LblCursors->setAccessibleName(QStringLiteral("Cursor read-out"));
    LblCursors->setTextInteractionFlags(Qt::TextSelectableByMouse);
    TblCursor = MakeTable(QStringLiteral("Cursor values"), {}, this);
    TblCursor->setObjectName(QStringLiteral("TblCursor"));
    TblMeasure = MakeTable(QStringLiteral("Measurements"),
                           {QStringLiteral("Trace"), QStringLiteral("Minimum"), QStringLiteral("Maximum"),
                            QStringLiteral("Mean"), QStringLiteral("RMS"), QStringLiteral("Peak-to-peak"),
                            QStringLiteral("Before step"), QStringLiteral("After step"),
                            QStringLiteral("Rise 10-90 %"), QStringLiteral("Overshoot"), QStringLiteral("Settling")},
                           this);
    TblMeasure->setObjectName(QStringLiteral("TblMeasure"));

    // Lay-out: the tools along the top, the captures on the left, the plot
    // taking the rest, the read-outs in tabs below it.
    auto *bar = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{CmbView, CmdFit, CmbSpan, CmbBand, CmbWindow})
        bar->addWidget(w);
    bar->addStretch(1);
    for (QWidget *w : std::initializer_list<QWidget *>{CmdCsv, CmdPng, CmdPdf, CmdPrint}) bar->addWidget(w);

    auto *left = new QWidget(this);
    auto *leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(0, 0, 0, 0);
    leftColumn->addWidget(LblEmpty);
    leftColumn->addWidget(LstCaptures, 1);
    auto *grid = new QHBoxLayout;
    grid->addWidget(CmdRename);
    grid->addWidget(CmdRemove);
    leftColumn->addLayout(grid);
    auto *files = new QHBoxLayout;
    files->addWidget(CmdOpen);
    files->addWidget(CmdSave);
    leftColumn->addLayout(files);

    auto *readouts = new QTabWidget(this);
    readouts->setObjectName(QStringLiteral("Readouts"));
    auto *cursorPage = new QWidget(readouts);
    auto *cursorColumn = new QVBoxLayout(cursorPage);
    cursorColumn->setContentsMargins(2, 2, 2, 2);
    cursorColumn->addWidget(LblCursors);
    cursorColumn->addWidget(TblCursor, 1);
    readouts->addTab(cursorPage, QStringLiteral("Cursors"));
    readouts->addTab(TblMeasure, QStringLiteral("Measurements"));

    auto *right = new QSplitter(Qt::Vertical, this);
    right->addWidget(Pages);
    right->addWidget(readouts);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 2);
    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({180, 720});

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addLayout(bar);
    column->addWidget(split, 1);
    resize(900, 640);

    connect(CmbView, &QComboBox::currentIndexChanged, this, [this](int i) {
        Pages->setCurrentIndex(i);
        CmbSpan->setEnabled(i == 0);
        CmbBand->setEnabled(i == 0);
        CmbWindow->setEnabled(i == 1);
        refreshReadouts();
    });
    CmbWindow->setEnabled(false);
    connect(CmbSpan, &QComboBox::currentIndexChanged, this, [this] { refreshReadouts(); });
    connect(CmbBand, &QComboBox::currentIndexChanged, this, [this] { refreshReadouts(); });
    connect(CmbWindow, &QComboBox::currentIndexChanged, this, [this] {
        refreshPlots();
    });
    connect(CmdFit, &QPushButton::clicked, this, [this] {
        (CmbView->currentIndex() == 0 ? TimePlot : SpectrumPlot)->fit();
    });
    connect(TimePlot, &PlotStack::cursorsMoved, this, [this] { refreshReadouts(); });
    connect(SpectrumPlot, &PlotStack::cursorsMoved, this, [this] { refreshReadouts(); });
}

// ---- the list ---------------------------------------------------------------------

int WaveAnalysisWindow::selectedCapture() const
{
    const QListWidgetItem *item = LstCaptures->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

void WaveAnalysisWindow::refreshList()
{
    const int selected = selectedCapture();
    m_filling = true;
    LstCaptures->clear();
    for (const ListedCapture &c : m_captures.items()) {
        auto *item = new QListWidgetItem(c.name, LstCaptures);
        item->setData(Qt::UserRole, c.id);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsEditable);
        item->setCheckState(c.shown ? Qt::Checked : Qt::Unchecked);
        QPixmap swatch(12, 12);
        swatch.fill(CaptureColour(c.id));
        item->setIcon(swatch);
        const WA::PhysicalTrace p = WA::ToPhysical(c.capture, c.motorTypeUnits);
        item->setToolTip(QStringLiteral("%1\n%2\nTrigger: %3, %4, position %5\nTime base: %6 s/div (%7 ms a sample)\nStatus: %8")
                             .arg(c.capture.taken.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), c.origin,
                                  QStringList{QStringLiteral("Speed"), QStringLiteral("Torque"), QStringLiteral("Status"),
                                              QStringLiteral("Manual")}
                                      .value(c.capture.setup.trig, QStringLiteral("?")),
                                  QStringList{QStringLiteral("Forward Up"), QStringLiteral("Forward Down"),
                                              QStringLiteral("Reverse Up"), QStringLiteral("Reverse Down")}
                                      .value(c.capture.setup.edge, QStringLiteral("?")))
                             .arg(c.capture.trigPos)
                             .arg(QStringList{QStringLiteral("0.05"), QStringLiteral("0.1"), QStringLiteral("0.2"),
                                              QStringLiteral("0.5")}
                                      .value(c.capture.timeBase, QStringLiteral("?")),
                                  Number(p.periodMs, 0), WA::StatusSignalName(c.capture.setup.status)));
        item->setData(Qt::AccessibleDescriptionRole, item->toolTip());
        if (c.id == selected) LstCaptures->setCurrentItem(item);
    }
    if (!LstCaptures->currentItem() && LstCaptures->count() > 0) LstCaptures->setCurrentRow(LstCaptures->count() - 1);
    m_filling = false;
    const bool any = LstCaptures->count() > 0;
    LblEmpty->setVisible(!any);
    CmdRename->setEnabled(any);
    CmdRemove->setEnabled(any);
    CmdSave->setEnabled(any);
}

void WaveAnalysisWindow::listItemChanged(QListWidgetItem *item)
{
    if (m_filling || !item) return;
    const int id = item->data(Qt::UserRole).toInt();
    const ListedCapture *c = m_captures.find(id);
    if (!c) return;
    const bool shown = item->checkState() == Qt::Checked;
    const QString name = item->text();
    // Each change reaches the list, which then refills this one.
    if (name != c->name) {
        if (name.simplified().isEmpty()) {
            refreshList();
            return;
        }
        m_captures.rename(id, name);
    }
    if (shown != c->shown) m_captures.setShown(id, shown);
}

// ---- plots and read-outs -------------------------------------------------------

void WaveAnalysisWindow::refreshPlots()
{
    QList<int> ids;
    TimePlot->clearTraces();
    SpectrumPlot->clearTraces();
    std::vector<double> times;
    std::vector<double> bins;
    QStringList signalNames;
    int n = 0;
    const auto window = CmbWindow->currentIndex() == 1 ? WA::SpectrumWindow::Hann : WA::SpectrumWindow::Rectangular;
    for (const ListedCapture &c : m_captures.items()) {
        if (!c.shown) continue;
        ids.append(c.id);
        const QColor colour = CaptureColour(c.id);
        const WA::PhysicalTrace p = WA::ToPhysical(c.capture, c.motorTypeUnits);
        const QString signalName = WA::StatusSignalName(c.capture.setup.status);
        if (!signalNames.contains(signalName)) signalNames.append(signalName);
        TimePlot->addTrace(0, c.name, colour, p.timeMs, p.speedRpm);
        TimePlot->addTrace(1, c.name, colour, p.timeMs, p.torquePercent);
        std::vector<double> status(p.status.begin(), p.status.end());
        TimePlot->addTrace(2, c.name + QLatin1Char(' ') + signalName, colour, p.timeMs, status, 0.06 * n);
        times.insert(times.end(), p.timeMs.begin(), p.timeMs.end());
        for (int pane = 0; pane < 2; ++pane) {
            const auto s = WA::AmplitudeSpectrum(pane == 0 ? p.speedRpm : p.torquePercent, p.periodMs, window);
            if (!s) continue;
            SpectrumPlot->addTrace(pane, c.name, colour, s->frequencyHz, s->magnitudeDb);
            if (pane == 0) bins.insert(bins.end(), s->frequencyHz.begin(), s->frequencyHz.end());
        }
        ++n;
    }
    TimePlot->pane(2)->setYTitle(signalNames.size() == 1 ? signalNames.first() : QStringLiteral("Status"));
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    std::sort(bins.begin(), bins.end());
    bins.erase(std::unique(bins.begin(), bins.end()), bins.end());
    TimePlot->setSnapPoints(std::move(times));
    SpectrumPlot->setSnapPoints(std::move(bins));
    // A new set of captures is seen whole; a renamed one keeps the view.
    if (ids != m_shownIds || !m_fitted) {
        m_fitted = true;
        TimePlot->fit();
        SpectrumPlot->fit();
    } else if (sender() == CmbWindow) {
        SpectrumPlot->fit();
    }
    m_shownIds = ids;
    refreshReadouts();
}

void WaveAnalysisWindow::refreshReadouts()
{
    if (CmbView->currentIndex() == 0) fillCursorTable();
    else fillSpectrumTable();
    fillMeasureTable();
}

void WaveAnalysisWindow::fillCursorTable()
{
    const double t1 = TimePlot->cursor(0);
    const double t2 = TimePlot->cursor(1);
    const double dt = t2 - t1;
    LblCursors->setText(QStringLiteral("t1 = %1 ms   t2 = %2 ms   Δt = %3 ms   1/Δt = %4")
                            .arg(Number(t1, 2), Number(t2, 2), Number(dt, 2),
                                 dt != 0 ? Number(1000.0 / dt, 2) + QStringLiteral(" Hz") : QStringLiteral("—")));
    TblCursor->setColumnCount(4);
    TblCursor->setHorizontalHeaderLabels(
        {QStringLiteral("Trace"), QStringLiteral("At t1"), QStringLiteral("At t2"), QStringLiteral("Difference")});
    TblCursor->setRowCount(0);
    for (const ListedCapture &c : m_captures.items()) {
        if (!c.shown) continue;
        const WA::PhysicalTrace p = WA::ToPhysical(c.capture, c.motorTypeUnits);
        const std::vector<double> status(p.status.begin(), p.status.end());
        const struct {
            QString what;
            const std::vector<double> &y;
            QString unit;
            int decimals;
        } rows[] = {{QStringLiteral("Speed"), p.speedRpm, QStringLiteral("rpm"), 1},
                    {QStringLiteral("Torque"), p.torquePercent, QStringLiteral("%"), 1},
                    {WA::StatusSignalName(c.capture.setup.status), status, QString(), 0}};
        for (const auto &r : rows) {
            // The status bit is read at the sample, not between two.
            const auto at = [&](double t) -> std::optional<double> {
                if (r.decimals == 0) {
                    const int i = WA::NearestSample(p.timeMs, t);
                    return i < 0 ? std::nullopt : std::optional<double>(r.y[static_cast<size_t>(i)]);
                }
                return WA::ValueAt(p.timeMs, r.y, t);
            };
            const auto a = at(t1);
            const auto b = at(t2);
            const int row = TblCursor->rowCount();
            TblCursor->insertRow(row);
            SetRow(TblCursor, row,
                   {c.name + QLatin1Char(' ') + r.what, a ? WithUnit(*a, r.decimals, r.unit) : QString(),
                    b ? WithUnit(*b, r.decimals, r.unit) : QString(),
                    a && b ? WithUnit(*b - *a, r.decimals, r.unit) : QString()},
                   CaptureColour(c.id));
        }
    }
}

void WaveAnalysisWindow::fillSpectrumTable()
{
    const double f = SpectrumPlot->cursor(0);
    LblCursors->setText(QStringLiteral("f = %1 Hz").arg(Number(f, 2)));
    TblCursor->setColumnCount(4);
    TblCursor->setHorizontalHeaderLabels({QStringLiteral("Trace"), QStringLiteral("At f"),
                                          QStringLiteral("Largest peak"), QStringLiteral("Peak level")});
    TblCursor->setRowCount(0);
    const auto window = CmbWindow->currentIndex() == 1 ? WA::SpectrumWindow::Hann : WA::SpectrumWindow::Rectangular;
    for (const ListedCapture &c : m_captures.items()) {
        if (!c.shown) continue;
        const WA::PhysicalTrace p = WA::ToPhysical(c.capture, c.motorTypeUnits);
        for (int pane = 0; pane < 2; ++pane) {
            const auto s = WA::AmplitudeSpectrum(pane == 0 ? p.speedRpm : p.torquePercent, p.periodMs, window);
            const QString unit = pane == 0 ? QStringLiteral("dB rpm") : QStringLiteral("dB %");
            QStringList cells{c.name + (pane == 0 ? QStringLiteral(" Speed") : QStringLiteral(" Torque"))};
            if (s) {
                const int i = WA::NearestSample(s->frequencyHz, f);
                cells << (i >= 0 ? WithUnit(s->magnitudeDb[static_cast<size_t>(i)], 1, unit) : QString());
                if (s->peakIndex >= 0) {
                    cells << WithUnit(s->frequencyHz[static_cast<size_t>(s->peakIndex)], 2, QStringLiteral("Hz"))
                          << WithUnit(s->magnitudeDb[static_cast<size_t>(s->peakIndex)], 1, unit);
                } else {
                    cells << QStringLiteral("no peak") << QString();
                }
            }
            const int row = TblCursor->rowCount();
            TblCursor->insertRow(row);
            SetRow(TblCursor, row, cells, CaptureColour(c.id));
        }
    }
}

void WaveAnalysisWindow::fillMeasureTable()
{
    TblMeasure->setRowCount(0);
    const bool betweenCursors = CmbSpan->currentIndex() == 0;
    const double band = CmbBand->currentIndex() == 0 ? 2 : 5;
    for (const ListedCapture &c : m_captures.items()) {
        if (!c.shown) continue;
        const WA::PhysicalTrace p = WA::ToPhysical(c.capture, c.motorTypeUnits);
        int from = 0;
        int to = static_cast<int>(p.timeMs.size()) - 1;
        if (betweenCursors) {
            from = WA::NearestSample(p.timeMs, TimePlot->cursor(0));
            to = WA::NearestSample(p.timeMs, TimePlot->cursor(1));
        }
        for (int trace = 0; trace < 2; ++trace) {
            const std::vector<double> &y = trace == 0 ? p.speedRpm : p.torquePercent;
            const QString unit = trace == 0 ? QStringLiteral("rpm") : QStringLiteral("%");
            QStringList cells{c.name + (trace == 0 ? QStringLiteral(" Speed") : QStringLiteral(" Torque"))};
            if (const auto f = WA::FiguresOver(y, from, to)) {
                cells << WithUnit(f->minimum, 1, unit) << WithUnit(f->maximum, 1, unit) << WithUnit(f->mean, 1, unit)
                      << WithUnit(f->rms, 1, unit) << WithUnit(f->peakToPeak, 1, unit);
            } else {
                cells << QString() << QString() << QString() << QString() << QString();
            }
            if (trace == 0) {
                // The step response is read from speed.
                const WA::StepResponse s = WA::AnalyseStep(p.timeMs, y, from, to, band);
                cells << FigureText(s.before, 1, unit) << FigureText(s.after, 1, unit)
                      << FigureText(s.riseTimeMs, 1, QStringLiteral("ms"))
                      << FigureText(s.overshootPercent, 1, QStringLiteral("%"))
                      << FigureText(s.settlingTimeMs, 1, QStringLiteral("ms"));
            }
            const int row = TblMeasure->rowCount();
            TblMeasure->insertRow(row);
            SetRow(TblMeasure, row, cells, CaptureColour(c.id));
        }
    }
}

QString WaveAnalysisWindow::tableText(const QTableWidget *table)
{
    QStringList lines;
    QStringList header;
    for (int c = 0; c < table->columnCount(); ++c) {
        const QTableWidgetItem *h = table->horizontalHeaderItem(c);
        header << (h ? h->text() : QString());
    }
    lines << header.join(QLatin1Char('\t'));
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c) {
            const QTableWidgetItem *item = table->item(r, c);
            cells << (item ? item->text() : QString());
        }
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

// ---- files -----------------------------------------------------------------------

QString WaveAnalysisWindow::choose(bool save, const QString &filter, const QString &extension)
{
    if (chooseFile) return chooseFile(save, filter);
    DlogFile dialog(this, filter, extension);
    const std::optional<QString> path = save ? dialog.ShowSave() : dialog.ShowOpen();
    return path.value_or(QString());
}

void WaveAnalysisWindow::tell(const QString &text)
{
    ShowMessage(this, QMessageBox::Critical, QStringLiteral("Waveform Analysis"), text,
                QStringLiteral("WaveAnalysisMessage"));
}

void WaveAnalysisWindow::cannotWrite(const QString &path, const QString &reason)
{
    tell(QStringLiteral("\"%1\" could not be written: %2").arg(QDir::toNativeSeparators(path), reason));
}

bool WaveAnalysisWindow::openWaveFile(const QString &path)
{
    const QFileInfo info(path);
    // A pipe, socket or device is refused unopened: opening a pipe waits for a writer.
    if (!info.isFile() || info.size() != WaveFileBytes) {
        ShowMessage(this, QMessageBox::Critical, QStringLiteral("error"),
                    path + QLatin1Char('\r') + QStringLiteral("Invalid File"), QStringLiteral("InvalidFileMessage"));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        tell(QStringLiteral("\"%1\" could not be read: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    const std::optional<WaveFileRecord> record = DecodeWaveFile(file.read(WaveFileBytes + 1));
    if (!record) {
        ShowMessage(this, QMessageBox::Critical, QStringLiteral("error"),
                    path + QLatin1Char('\r') + QStringLiteral("Invalid File"), QStringLiteral("InvalidFileMessage"));
        return false;
    }
    Capture capture = CaptureFromRecord(*record);
    capture.taken = info.lastModified();
    // The torque scale is that of the capture most recently listed, or 1 % a unit.
    const int units = m_captures.items().isEmpty() ? 0 : m_captures.items().last().motorTypeUnits;
    m_captures.add(capture, units, QDir::toNativeSeparators(info.absoluteFilePath()), info.completeBaseName());
    return true;
}

bool WaveAnalysisWindow::saveWaveFile(int captureId, const QString &path)
{
    const ListedCapture *c = m_captures.find(captureId);
    if (!c) return false;
    const SaveResult saved = SaveFileWhole(path, EncodeWaveFile(CaptureFileRecord(c->capture)));
    if (!saved.ok) cannotWrite(path, saved.reason);
    return saved.ok;
}

void WaveAnalysisWindow::saveSelected()
{
    const int id = selectedCapture();
    if (!id) return;
    const QString path = choose(true, WaveFilter, QStringLiteral("wvt"));
    if (!path.isEmpty()) saveWaveFile(id, path);
}

void WaveAnalysisWindow::openChosen()
{
    const QString path = choose(false, WaveFilter, QStringLiteral("wvt"));
    if (!path.isEmpty()) openWaveFile(path);
}

void WaveAnalysisWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void WaveAnalysisWindow::dropEvent(QDropEvent *event)
{
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile()) openWaveFile(url.toLocalFile());
    event->acceptProposedAction();
}

// ---- export -----------------------------------------------------------------------

bool WaveAnalysisWindow::exportCsv(const QString &path)
{
    const auto shown = m_captures.shownCaptures();
    if (shown.isEmpty()) {
        tell(QStringLiteral("No capture is shown: tick the captures to export."));
        return false;
    }
    const SaveResult saved = SaveFileWhole(path, WA::CapturesCsv(shown));
    if (!saved.ok) cannotWrite(path, saved.reason);
    return saved.ok;
}

bool WaveAnalysisWindow::exportPng(const QString &path)
{
    const QPixmap picture = Pages->currentWidget()->grab();
    const SaveResult saved = SaveFileWith(path, [&picture](QIODevice &device, QString *why) {
        if (picture.save(&device, "PNG")) return true;
        *why = QStringLiteral("the picture could not be encoded as PNG");
        return false;
    });
    if (!saved.ok) cannotWrite(path, saved.reason);
    return saved.ok;
}

void WaveAnalysisWindow::renderPages(QPagedPaintDevice &device)
{
    QPainter painter(&device);
    if (!painter.isActive()) return;
    const QRect page = painter.viewport();
    const double unit = page.width() / 180.0;  // about a millimetre on A4
    QFont font = painter.font();
    font.setPixelSize(static_cast<int>(4.5 * unit));
    painter.setFont(font);
    const int line = static_cast<int>(6 * unit);
    int y = 0;
    painter.drawText(QRect(0, y, page.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Waveform Analysis — %1")
                         .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))));
    y += line;
    painter.drawText(QRect(0, y, page.width(), line), Qt::AlignLeft | Qt::AlignVCenter, LblCursors->text());
    y += line;

    // The plot as shown, scaled to the page's width.
    QWidget *plot = Pages->currentWidget();
    const QSize shown = plot->size().isEmpty() ? QSize(800, 500) : plot->size();
    const double scale = static_cast<double>(page.width()) / shown.width();
    const int plotHeight = std::min(static_cast<int>(shown.height() * scale), page.height() / 2);
    painter.save();
    painter.translate(0, y);
    painter.scale(scale, scale);
    plot->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.restore();
    y += plotHeight + line;

    // The measurement table, then the cursor values, as text columns.
    const auto table = [&](const QTableWidget *t, const QString &title) {
        const QStringList rows = tableText(t).split(QLatin1Char('\n'));
        if (y + line * 2 > page.height()) {
            device.newPage();
            y = 0;
        }
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRect(0, y, page.width(), line), Qt::AlignLeft | Qt::AlignVCenter, title);
        y += line;
        font.setPixelSize(static_cast<int>(3.2 * unit));
        for (int r = 0; r < rows.size(); ++r) {
            font.setBold(r == 0);
            painter.setFont(font);
            const QStringList cells = rows[r].split(QLatin1Char('\t'));
            const int width = page.width() / std::max<int>(1, static_cast<int>(cells.size()));
            if (y + line > page.height()) {
                device.newPage();
                y = 0;
            }
            for (int c = 0; c < cells.size(); ++c)
                painter.drawText(QRect(c * width, y, width - static_cast<int>(unit), line),
                                 Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, cells[c]);
            y += line;
        }
        font.setPixelSize(static_cast<int>(4.5 * unit));
        y += line / 2;
    };
    if (CmbView->currentIndex() == 0)
        table(TblMeasure, QStringLiteral("Measurements (%1, %2)").arg(CmbSpan->currentText(), CmbBand->currentText()));
    table(TblCursor, QStringLiteral("Cursor values"));
}

bool WaveAnalysisWindow::exportPdf(const QString &path)
{
    const SaveResult saved = SaveFileWith(path, [this](QIODevice &device, QString *) {
        // The writer finishes the document when it goes, before the flush.
        QPdfWriter writer(&device);
        writer.setResolution(300);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setTitle(QStringLiteral("Waveform Analysis"));
        writer.setCreator(QStringLiteral("ORVEX"));
        renderPages(writer);
        return true;
    });
    if (!saved.ok) cannotWrite(path, saved.reason);
    return saved.ok;
}

void WaveAnalysisWindow::exportChosen(int kind)
{
    static const QString filters[] = {CsvFilter, PngFilter, PdfFilter};
    static const QString extensions[] = {QStringLiteral("csv"), QStringLiteral("png"), QStringLiteral("pdf")};
    const QString path = choose(true, filters[kind], extensions[kind]);
    if (path.isEmpty()) return;
    if (kind == 0) exportCsv(path);
    else if (kind == 1) exportPng(path);
    else exportPdf(path);
}

void WaveAnalysisWindow::printPlot()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(QStringLiteral("Waveform Analysis"));
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print Waveform Analysis"));
    dialog.setAccessibleName(QStringLiteral("Print the waveform analysis"));
    if (dialog.exec() != QDialog::Accepted) return;
    renderPages(printer);
}
