#include "waveanalysiswindow.h"

#include "drive/params/parametermodel.h"

#include "common/dlogfile.h"
#include "common/messagelines.h"
#include "common/plotview.h"
#include "drive/savefile.h"
#include "drive/timetext.h"
#include "drive/wave/wavefile.h"
#include "tools/analysisexport.h"
#include "tools/analysisplots.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace WA = WaveAnalysis;

namespace {

const QString WaveFilter = QStringLiteral("Tavix-DRIVE graphical data files(*.wvt)|*.wvt");
const QString CsvFilter = QStringLiteral("CSV files(*.csv)|*.csv");
const QString PngFilter = QStringLiteral("PNG images(*.png)|*.png");
const QString PdfFilter = QStringLiteral("PDF files(*.pdf)|*.pdf");
constexpr int ListWidth = 210;

// A table's first column in the colour of its capture.
class CaptureColours : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::ForegroundRole && index.column() == 0)
            return CaptureColour(index.data(MeasurementTable::CaptureIdRole).toInt());
        return QIdentityProxyModel::data(index, role);
    }
};

QTableView *MakeTable(const QString &name, const QString &accessible, QAbstractItemModel *model, QWidget *parent)
{
    auto *t = new QTableView(parent);
    t->setObjectName(name);
    t->setAccessibleName(accessible);
    auto *colours = new CaptureColours(t);
    colours->setSourceModel(model);
    t->setModel(colours);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The arrow keys move in the table; Tab leaves it.
    t->setTabKeyNavigation(false);
    t->setWordWrap(false);
    t->setTextElideMode(Qt::ElideNone);
    t->verticalHeader()->hide();
    // One line a row.
    t->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

// The width a table needs to show every column whole.
int TableWidth(const QTableView *t)
{
    const QAbstractItemModel *m = t->model();
    QFont bold = t->font();
    bold.setBold(true);
    const QFontMetrics fm(t->font()), fb(bold);
    int width = 2 * t->frameWidth() + t->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;
    for (int c = 0; c < m->columnCount(); ++c) {
        int w = fb.horizontalAdvance(m->headerData(c, Qt::Horizontal).toString()) + 24;
        for (int r = 0; r < m->rowCount(); ++r) w = std::max(w, fm.horizontalAdvance(m->index(r, c).data().toString()) + 16);
        width += w;
    }
    return width;
}

}  // namespace

WaveAnalysisWindow::WaveAnalysisWindow(CaptureList &captures, const ParameterModel &params, FileChooser &files,
                                       QWidget *parent)
    : ChildWindow(QStringLiteral("WaveAnalysis"), QStringLiteral("Waveform Analysis"), QStringLiteral("A"), parent),
      m_captures(captures),
      m_params(params),
      m_files(files),
      m_analysis(captures),
      m_measure(m_analysis),
      m_cursor(m_analysis)
{
    setAcceptDrops(true);
    buildControls();
    connect(&m_analysis, &CaptureAnalysis::capturesChanged, this, &WaveAnalysisWindow::capturesChanged);
    connect(&m_analysis, &CaptureAnalysis::figuresChanged, this, &WaveAnalysisWindow::showCursorLine);
    capturesChanged();
}

void WaveAnalysisWindow::buildControls()
{
    auto button = [this](const QString &caption, const QString &name, const QString &tip) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAccessibleName(QString(caption).remove(u'&'));
        b->setToolTip(tip);
        return b;
    };
    auto list = [this](const QString &name, const QStringList &items, const QString &tip) {
        auto *c = new QComboBox(this);
        c->setObjectName(name);
        c->addItems(items);
        // Wide enough for every item: a list cut short reads "Settle :".
        c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        c->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
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
    CmdRename = button(QStringLiteral("&Rename"), QStringLiteral("CmdRename"), QStringLiteral("Rename the selected capture"));
    CmdRemove = button(QStringLiteral("Re&move"), QStringLiteral("CmdRemove"), QStringLiteral("Remove the selected capture from the list"));
    CmdOpen = button(QStringLiteral("Op&en..."), QStringLiteral("CmdOpen"), QStringLiteral("Add a waveform file (.wvt) to the list"));
    CmdSave = button(QStringLiteral("Sa&ve..."), QStringLiteral("CmdSave"), QStringLiteral("Save the selected capture as a waveform file (.wvt)"));
    connect(CmdRename, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem *item = LstCaptures->currentItem()) LstCaptures->editItem(item);
    });
    connect(CmdRemove, &QPushButton::clicked, this, [this] {
        if (const int id = selectedCapture()) m_captures.remove(id);
    });
    connect(CmdOpen, &QPushButton::clicked, this, &WaveAnalysisWindow::openChosen);
    connect(CmdSave, &QPushButton::clicked, this, &WaveAnalysisWindow::saveSelected);

    CmbView = list(QStringLiteral("CmbView"), {QStringLiteral("Time"), QStringLiteral("Spectrum")}, QStringLiteral("View"));
    CmbSpan = list(QStringLiteral("CmbSpan"), {QStringLiteral("Between Cursors"), QStringLiteral("Whole Capture")},
                   QStringLiteral("Measure over"));
    CmbSpan->setCurrentIndex(1);
    CmbBand = list(QStringLiteral("CmbBand"), {QStringLiteral("Settle ±2 %"), QStringLiteral("Settle ±5 %")},
                   QStringLiteral("Settling band"));
    CmbWindow = list(QStringLiteral("CmbWindow"), {QStringLiteral("Rectangular"), QStringLiteral("Hann")},
                     QStringLiteral("Spectrum window"));
    CmdFit = button(QStringLiteral("F&it"), QStringLiteral("CmdFit"), QStringLiteral("Show everything (Home)"));
    CmdHelp = button(QStringLiteral("&Help"), QStringLiteral("CmdHelp"), QStringLiteral("How the figures are measured"));
    CmdCsv = button(QStringLiteral("&CSV..."), QStringLiteral("CmdCsv"), QStringLiteral("Export the shown captures as CSV"));
    CmdPng = button(QStringLiteral("P&NG..."), QStringLiteral("CmdPng"), QStringLiteral("Save the plot as a PNG image of a size you choose"));
    CmdPdf = button(QStringLiteral("P&DF..."), QStringLiteral("CmdPdf"), QStringLiteral("Save the plot and its tables as a PDF file"));
    CmdPrint = button(QStringLiteral("&Print..."), QStringLiteral("CmdPrint"), QStringLiteral("Print the plot and its tables"));
    connect(CmdCsv, &QPushButton::clicked, this, [this] { exportChosen(0); });
    connect(CmdPng, &QPushButton::clicked, this, [this] { exportChosen(1); });
    connect(CmdPdf, &QPushButton::clicked, this, [this] { exportChosen(2); });
    connect(CmdPrint, &QPushButton::clicked, this, &WaveAnalysisWindow::printPlot);
    connect(CmdFit, &QPushButton::clicked, this, [this] { shownPlot().fit(); });
    connect(CmdHelp, &QPushButton::clicked, this, [this] {
        auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Waveform Analysis"), helpText(),
                                    QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("WaveAnalysisHelp"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setAccessibleName(QStringLiteral("How the figures are measured"));
        box->open();
    });

    TimePlot = new PlotView(this);
    TimePlot->setObjectName(QStringLiteral("TimePlot"));
    TimePlot->setAccessibleName(QStringLiteral("Waveform plot"));
    SetUpTimePlot(*TimePlot);
    SpectrumPlot = new PlotView(this);
    SpectrumPlot->setObjectName(QStringLiteral("SpectrumPlot"));
    SpectrumPlot->setAccessibleName(QStringLiteral("Spectrum plot"));
    SetUpSpectrumPlot(*SpectrumPlot);
    Pages = new QStackedWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    Pages->addWidget(TimePlot);
    Pages->addWidget(SpectrumPlot);

    LblCursors = new QLabel(this);
    LblCursors->setObjectName(QStringLiteral("LblCursors"));
    LblCursors->setTextInteractionFlags(Qt::TextSelectableByMouse);
    TblMeasure = MakeTable(QStringLiteral("TblMeasure"), QStringLiteral("Measurements"), &m_measure, this);
    TblCursor = MakeTable(QStringLiteral("TblCursor"), QStringLiteral("Cursor values"), &m_cursor, this);

    connect(TimePlot, &PlotView::cursorsMoved, this, [this] {
        m_analysis.setCursors(TimePlot->cursor(0), TimePlot->cursor(1));
        showCursorLine();
    });
    connect(SpectrumPlot, &PlotView::cursorsMoved, this, [this] {
        m_cursor.setFrequency(SpectrumPlot->cursor(0));
        showCursorLine();
    });
    connect(CmbView, &QComboBox::currentIndexChanged, this, [this](int i) {
        Pages->setCurrentIndex(i);
        m_cursor.setMode(i == 1 ? CursorTable::Mode::Spectrum : CursorTable::Mode::Time);
        fitTables();
        showCursorLine();
    });
    connect(CmbSpan, &QComboBox::currentIndexChanged, this, [this](int i) {
        m_analysis.setSpan(i == 0 ? CaptureAnalysis::Span::BetweenCursors : CaptureAnalysis::Span::Whole);
    });
    connect(CmbBand, &QComboBox::currentIndexChanged, this,
            [this](int i) { m_analysis.setBandPercent(i == 0 ? 2 : 5); });
    connect(CmbWindow, &QComboBox::currentIndexChanged, this, [this](int i) {
        m_analysis.setWindow(i == 1 ? WA::SpectrumWindow::Hann : WA::SpectrumWindow::Rectangular);
        showSpectra();
        SpectrumPlot->fit();
    });

    // Lay-out: the tools along the top, the captures on the left, the plot
    // taking the rest, the cursor line and both tables below it.
    auto *bar = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{CmbView, CmdFit, CmbSpan, CmbBand, CmbWindow}) bar->addWidget(w);
    bar->addStretch(1);
    for (QWidget *w : std::initializer_list<QWidget *>{CmdHelp, CmdCsv, CmdPng, CmdPdf, CmdPrint}) bar->addWidget(w);

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

    auto *tables = new QSplitter(Qt::Horizontal, this);
    tables->addWidget(TblMeasure);
    tables->addWidget(TblCursor);
    tables->setStretchFactor(0, 3);
    tables->setStretchFactor(1, 1);
    auto *below = new QWidget(this);
    auto *belowColumn = new QVBoxLayout(below);
    belowColumn->setContentsMargins(0, 0, 0, 0);
    belowColumn->addWidget(LblCursors);
    belowColumn->addWidget(tables, 1);

    auto *right = new QSplitter(Qt::Vertical, this);
    right->addWidget(Pages);
    right->addWidget(below);
    right->setStretchFactor(0, 4);
    right->setStretchFactor(1, 1);
    right->setCollapsible(0, false);
    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({ListWidth, 1200});

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addLayout(bar);
    column->addWidget(split, 1);

    // Tab goes in reading order: the tools along the top, the captures, the
    // plot shown, its tables. The window opens on the captures (see refreshList).
    QWidget *order[] = {CmbView,  CmdFit,      CmbSpan,   CmbBand,   CmbWindow, CmdHelp,  CmdCsv,
                        CmdPng,   CmdPdf,      CmdPrint,  LstCaptures, CmdRename, CmdRemove, CmdOpen,
                        CmdSave,  TimePlot,    SpectrumPlot, TblMeasure, TblCursor};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

QSize WaveAnalysisWindow::sizeHint() const
{
    // The list, and beside it both tables whole; the plot above them with
    // room for its three lanes.
    const int tableHeight = std::max(TblMeasure->minimumHeight(), TblCursor->minimumHeight());
    const int width = ListWidth + 16 + TableWidth(TblMeasure) + TableWidth(TblCursor) + 24;
    const int height = CmbView->sizeHint().height() + 520 + LblCursors->sizeHint().height() + tableHeight + 24;
    return {std::max(width, 960), height};
}

PlotView &WaveAnalysisWindow::shownPlot() const { return CmbView->currentIndex() == 1 ? *SpectrumPlot : *TimePlot; }

int WaveAnalysisWindow::selectedCapture() const
{
    const QListWidgetItem *item = LstCaptures->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

void WaveAnalysisWindow::refreshList()
{
    m_filling = true;
    const int selected = selectedCapture();
    LstCaptures->clear();
    for (const ListedCapture &c : m_captures.items()) {
        auto *item = new QListWidgetItem(c.name, LstCaptures);
        item->setData(Qt::UserRole, c.id);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsEditable);
        item->setCheckState(c.shown ? Qt::Checked : Qt::Unchecked);
        QPixmap swatch(12, 12);
        swatch.fill(CaptureColour(c.id));
        item->setIcon(swatch);
        item->setToolTip(CaptureFacts(c, m_analysis).join(u'\n'));
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
    // Opened without captures, on "Open...": an empty list shows no focus.
    setFirstFocus(any ? static_cast<QWidget *>(LstCaptures) : CmdOpen);
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

void WaveAnalysisWindow::capturesChanged()
{
    refreshList();
    const QList<const ListedCapture *> shown = m_analysis.shown();
    ShowTimeLanes(*TimePlot, m_analysis, shown);
    showSpectra();
    QList<int> ids;
    for (const ListedCapture *c : shown) ids.append(c->id);
    // A new set of captures is seen whole, the cursors on the newest one's
    // step; a renamed one keeps the view.
    if (ids != m_shownIds) {
        TimePlot->fit();
        SpectrumPlot->fit();
        if (!ids.isEmpty()) {
            const auto [a, b] = StepCursors(m_analysis, *std::max_element(ids.begin(), ids.end()));
            TimePlot->setCursor(0, a);
            TimePlot->setCursor(1, b);
        }
    }
    m_shownIds = ids;
    fitTables();
    showCursorLine();
}

void WaveAnalysisWindow::fitTables()
{
    // Tall enough for their rows (up to six; more scroll), so the plot
    // never squeezes them to a half row.
    for (QTableView *t : {TblMeasure, TblCursor}) {
        const int rows = std::clamp(t->model()->rowCount(), 2, 6);
        t->setMinimumHeight(t->horizontalHeader()->sizeHint().height() + rows * t->verticalHeader()->defaultSectionSize() +
                            2 * t->frameWidth() + t->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2);
    }
}

void WaveAnalysisWindow::showSpectra() { ShowSpectrumLanes(*SpectrumPlot, m_analysis, m_analysis.shown()); }

void WaveAnalysisWindow::showCursorLine() { LblCursors->setText(m_cursor.cursorLine()); }

QString WaveAnalysisWindow::helpText() const
{
    return WA::StepDefinitions() +
           QStringLiteral("\n\nThe figures are measured over the whole capture, or between the two cursors "
                          "(\"Measure over\"). Speed is 0.75 rpm a unit of the drive; torque is in % of the rated "
                          "torque of the motor type (parameter 57), as the Graphical Monitor scales it. Minimum, "
                          "maximum, mean, RMS and peak-to-peak are taken from the samples. The spectra are "
                          "single-sided amplitude spectra in dB of the trace's unit, the mean taken out before the "
                          "window; their largest peak is the bin above 0 Hz that reads highest.");
}

// ---- files -----------------------------------------------------------------------

QString WaveAnalysisWindow::choose(bool save, const QString &filter, const QString &extension)
{
    DlogFile dialog(this, m_files, filter, extension);
    const std::optional<QString> path = save ? dialog.ShowSave() : dialog.ShowOpen();
    return path.value_or(QString());
}

void WaveAnalysisWindow::tell(const QString &text)
{
    ShowMessage(this, QMessageBox::Critical, QStringLiteral("Waveform Analysis"), text,
                QStringLiteral("WaveAnalysisMessage"));
}

bool WaveAnalysisWindow::openWaveFile(const QString &path)
{
    const QFileInfo info(path);
    const auto invalid = [&](const QStringList &problems = {}) {
        QString text = path + QLatin1Char('\r') + QStringLiteral("Invalid File");
        if (!problems.isEmpty()) text += QLatin1Char('\r') + ProblemLines(problems);
        ShowMessage(this, QMessageBox::Critical, QStringLiteral("error"), text, QStringLiteral("InvalidFileMessage"));
        return false;
    };
    // A pipe, socket or device is refused unopened: opening a pipe waits for a writer.
    if (!info.isFile() || info.size() != WaveFileBytes) return invalid();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        tell(QStringLiteral("\"%1\" could not be read: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    const std::optional<WaveFileRecord> record = DecodeWaveFile(file.read(WaveFileBytes + 1));
    if (!record) return invalid();
    if (const QStringList problems = WaveFileProblems(*record); !problems.isEmpty()) return invalid(problems);
    Capture capture = CaptureFromRecord(*record);
    capture.taken = info.lastModified();
    // Torque at the scale of the motor type set now, as the Graphical Monitor draws it.
    m_captures.add(capture, m_params.motorTypeUnits(), QDir::toNativeSeparators(info.absoluteFilePath()),
                   info.completeBaseName());
    return true;
}

bool WaveAnalysisWindow::saveWaveFile(int captureId, const QString &path)
{
    const ListedCapture *c = m_captures.find(captureId);
    if (!c) return false;
    const SaveResult saved = SaveFileWhole(path, EncodeWaveFile(CaptureFileRecord(c->capture)));
    if (!saved.ok) tell(QStringLiteral("\"%1\" could not be written: %2").arg(QDir::toNativeSeparators(path), saved.reason));
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
    if (!saved.ok) tell(QStringLiteral("\"%1\" could not be written: %2").arg(QDir::toNativeSeparators(path), saved.reason));
    return saved.ok;
}

bool WaveAnalysisWindow::exportPng(const QString &path, const QSize &size)
{
    QString description = helpText() + QStringLiteral("\n\n");
    for (const ListedCapture *c : m_analysis.shown()) description += CaptureFacts(*c, m_analysis).join(u'\n') + u'\n';
    description += u'\n' + TableText(m_measure) + QStringLiteral("\n\n") + m_cursor.cursorLine() + u'\n' + TableText(m_cursor);
    QString error;
    const bool ok = WriteAnalysisPng(path, shownPlot(), size, description, &error);
    if (!ok) tell(error);
    return ok;
}

AnalysisDocument WaveAnalysisWindow::document() const
{
    AnalysisDocument doc;
    doc.title = QStringLiteral("Waveform Analysis");
    doc.made = QDateTime::currentDateTime();
    for (const ListedCapture *c : m_analysis.shown()) doc.facts << CaptureFacts(*c, m_analysis);
    doc.plot = &shownPlot();
    doc.measureTitle = QStringLiteral("Measurements (%1, %2)").arg(CmbSpan->currentText().toLower(), CmbBand->currentText());
    doc.measurements = TableRows(m_measure);
    doc.cursorLine = m_cursor.cursorLine();
    doc.cursors = TableRows(m_cursor);
    doc.definitions = helpText();
    return doc;
}

bool WaveAnalysisWindow::exportPdf(const QString &path)
{
    QString error;
    const bool ok = WriteAnalysisPdf(path, document(), &error);
    if (!ok) tell(error);
    return ok;
}

std::optional<QSize> WaveAnalysisWindow::chooseImageSize()
{
    // The PNG's size, the last one offered.
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("ImageSize"));
    dialog.setWindowTitle(QStringLiteral("PNG Image Size"));
    auto *w = new QSpinBox(&dialog);
    auto *h = new QSpinBox(&dialog);
    for (QSpinBox *b : {w, h}) {
        b->setRange(320, 8000);
        b->setSuffix(QStringLiteral(" px"));
    }
    w->setValue(m_imageSize.width());
    h->setValue(m_imageSize.height());
    w->setObjectName(QStringLiteral("TxtWidth"));
    h->setObjectName(QStringLiteral("TxtHeight"));
    w->setAccessibleName(QStringLiteral("Width"));
    h->setAccessibleName(QStringLiteral("Height"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("&Width:"), w);
    form->addRow(QStringLiteral("&Height:"), h);
    form->addRow(buttons);
    dialog.setMinimumWidth(300);  // the whole title
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return QSize(w->value(), h->value());
}

void WaveAnalysisWindow::exportChosen(int kind)
{
    static const QString filters[] = {CsvFilter, PngFilter, PdfFilter};
    static const QString extensions[] = {QStringLiteral("csv"), QStringLiteral("png"), QStringLiteral("pdf")};
    std::optional<QSize> size;
    if (kind == 1) {
        size = chooseImageSize();
        if (!size) return;
        m_imageSize = *size;
    }
    const QString path = choose(true, filters[kind], extensions[kind]);
    if (path.isEmpty()) return;
    if (kind == 0) exportCsv(path);
    else if (kind == 1) exportPng(path, *size);
    else exportPdf(path);
}

void WaveAnalysisWindow::printPlot()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                                      QPageLayout::Millimeter));
    printer.setDocName(QStringLiteral("Waveform Analysis"));
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print Waveform Analysis"));
    dialog.setAccessibleName(QStringLiteral("Print the waveform analysis"));
    if (dialog.exec() != QDialog::Accepted) return;
    if (!RenderAnalysisDocument(printer, document()) || printer.printerState() == QPrinter::Error)
        tell(QStringLiteral("The analysis could not be printed. Check that the printer is ready and try again."));
}
