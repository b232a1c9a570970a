#include "trendwindow.h"

#include "common/dlogfile.h"
#include "common/messagelines.h"
#include "drive/monitor/monitorrules.h"
#include "monitor/monitorwidgets.h"
#include "drive/trend/trendpoller.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QPainter>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int RefreshMs = 200;
// The file is flushed and the gap checked this often: a crash loses at most
// this much of the recording.
constexpr int FlushMs = 500;

int keyOf(const TrendChannel &c) { return c.kind == TrendChannel::Kind::Monitor ? c.index : 100 + c.index; }

// The colour of the k-th channel: items and bits each take the next colour
// of their own set, so that no two traces shown together look alike.
QColor colourAt(const QList<TrendChannel> &channels, qsizetype k)
{
    static const std::array<QColor, TrendMaxItems> items{QColor(0x1F, 0x77, 0xB4), QColor(0xD6, 0x27, 0x28),
                                                         QColor(0x2C, 0xA0, 0x2C), QColor(0xE0, 0x70, 0x00)};
    static const std::array<QColor, 7> bits{QColor(0x94, 0x67, 0xBD), QColor(0x8C, 0x56, 0x4B), QColor(0xC0, 0x40, 0xA0),
                                            QColor(0x50, 0x50, 0x50), QColor(0x80, 0x80, 0x10), QColor(0x10, 0x90, 0xA0),
                                            QColor(0x39, 0x3B, 0x79)};
    const TrendChannel::Kind kind = channels[k].kind;
    size_t slot = 0;
    for (qsizetype j = 0; j < k; ++j) slot += channels[j].kind == kind ? 1 : 0;
    return kind == TrendChannel::Kind::Monitor ? items[slot % items.size()] : bits[slot % bits.size()];
}

QLabel *label(QWidget *parent, const QString &name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleName(QString(caption).remove(u'&'));
    b->setAutoDefault(false);
    return b;
}

// The read-out's scrolling area: the arrow keys scroll it when it has the
// focus, and a frame in the highlight colour says so.
class ReadOutArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;

protected:
    bool event(QEvent *e) override
    {
        const bool done = QScrollArea::event(e);
        if (e->type() == QEvent::Paint && hasFocus()) {
            QPainter p(this);
            p.setPen(QPen(palette().color(QPalette::Highlight), 2));
            p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
        }
        return done;
    }
};

QString clockText(qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss.zzz")); }

// A message that does not hold up the rest of the program: the operation
// panel's stop keys keep working while it is open.
void tellLater(QWidget *parent, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Trend Recorder"), MessageLines(text),
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("TrendRecorderMessage"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

}  // namespace

TrendRecorder::TrendRecorder(DriveLink &link, FileChooser &files, const Clock &clock, QWidget *parent)
    : ChildWindow(QStringLiteral("TrendRecorder"), QStringLiteral("Trend Recorder"), pollTag(), parent),
      m_files(files),
      m_clock(clock)
{
    m_poller = new TrendPoller(link, pollTag(), clock, this);
    connect(m_poller, &TrendPoller::monitorValue, this, &TrendRecorder::onMonitorValue);
    connect(m_poller, &TrendPoller::statusWord, this, &TrendRecorder::onStatusWord);

    buildChoice();
    buildControls();
    Plot = new TrendPlot(this);
    connect(Plot, &TrendPlot::cursorMoved, this, [this](qint64 t) {
        m_cursor = t;
        updateCursorLabels();
    });
    buildReadOut();

    auto *choice = new QHBoxLayout;
    choice->addWidget(CmbItem[0]->parentWidget());
    choice->addWidget(ChkStatus[0]->parentWidget(), 1);
    auto *view = new QHBoxLayout;
    QLabel *spanName = label(this, QStringLiteral("LblSpan"), QStringLiteral("Spa&n:"));
    spanName->setBuddy(CmbSpan);
    view->addWidget(spanName);
    view->addWidget(CmbSpan);
    view->addWidget(CmdPause);
    view->addSpacing(12);
    view->addWidget(LblShown, 1);
    auto *body = new QHBoxLayout;
    body->addWidget(Plot, 1);
    auto *scroll = new ReadOutArea(this);
    scroll->setObjectName(QStringLiteral("ReadOutArea"));
    scroll->setWidgetResizable(true);
    scroll->setWidget(m_readOutGrid->parentWidget());
    scroll->setMinimumWidth(420);
    body->addWidget(scroll);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(6);
    column->addLayout(choice);
    column->addWidget(LblFile->parentWidget());
    column->addLayout(view);
    column->addLayout(body, 1);

    // Tab goes in reading order: the choice, the recording, the view, the
    // chart and its read-out. The window opens on the first item's list.
    QList<QWidget *> order(CmbItem.begin(), CmbItem.end());
    order << QList<QWidget *>(ChkStatus.begin(), ChkStatus.end());
    order << QList<QWidget *>{CmdChooseFile, CmdStart, CmdStop, CmbSpan, CmdPause, Plot, scroll};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
    scroll->setAccessibleName(QStringLiteral("Values of the chart"));
    setFirstFocus(CmbItem[0]);

    m_refresh = new QTimer(this);
    connect(m_refresh, &QTimer::timeout, this, &TrendRecorder::refresh);
    m_refresh->start(RefreshMs);
    m_flush = new QTimer(this);
    connect(m_flush, &QTimer::timeout, this, &TrendRecorder::tick);
    m_flush->start(FlushMs);

    CmbItem[0]->setCurrentIndex(1 + 4);  // "04:Current Speed" to begin with
    choiceChanged();
    showRecordingState();
}

TrendRecorder::~TrendRecorder()
{
    // What was recorded reaches the disk.
    if (m_file.isOpen()) {
        QString error;
        m_file.flush(&error);
        m_file.close();
    }
}

void TrendRecorder::buildChoice()
{
    auto *items = new QGroupBox(QStringLiteral("Monitor items"), this);
    items->setObjectName(QStringLiteral("FrameItems"));
    auto *grid = new QGridLayout(items);
    for (int k = 0; k < TrendMaxItems; ++k) {
        QLabel *name = label(items, QStringLiteral("LblItem(%1)").arg(k), QStringLiteral("&%1:").arg(k + 1));
        auto *combo = new QComboBox(items);
        combo->setObjectName(QStringLiteral("CmbItem(%1)").arg(k));
        combo->setAccessibleName(QStringLiteral("Monitor item %1").arg(k + 1));
        combo->addItem(QStringLiteral("(none)"));
        for (const QString &item : MonitorItems()) combo->addItem(item);
        combo->setMaxVisibleItems(MonitorItemCount + 1);
        name->setBuddy(combo);
        CmbItem[static_cast<size_t>(k)] = combo;
        grid->addWidget(name, k / 2, (k % 2) * 2);
        grid->addWidget(combo, k / 2, (k % 2) * 2 + 1);
        connect(combo, &QComboBox::currentIndexChanged, this, &TrendRecorder::choiceChanged);
    }

    auto *bits = new QGroupBox(QStringLiteral("Status &bits"), this);
    bits->setObjectName(QStringLiteral("FrameStatus"));
    auto *bitGrid = new QGridLayout(bits);
    bitGrid->setVerticalSpacing(2);
    for (int r = 0; r < StatusRowCount; ++r) {
        auto *box = new QCheckBox(StatusRows()[static_cast<size_t>(r)].name, bits);
        box->setObjectName(QStringLiteral("ChkStatus(%1)").arg(r));
        box->setAccessibleName(QStringLiteral("Status bit ") + box->text());
        ChkStatus[static_cast<size_t>(r)] = box;
        // Five a row: the window fits beside nothing at 1024 pixels wide.
        bitGrid->addWidget(box, r / 5, r % 5);
        connect(box, &QCheckBox::toggled, this, &TrendRecorder::choiceChanged);
    }
}

void TrendRecorder::buildControls()
{
    CmbSpan = new QComboBox(this);
    CmbSpan->setObjectName(QStringLiteral("CmbSpan"));
    CmbSpan->setAccessibleName(QStringLiteral("Span"));
    for (const TrendSpan &s : TrendSpans()) CmbSpan->addItem(s.text);
    CmbSpan->setCurrentIndex(1);  // 30 s
    connect(CmbSpan, &QComboBox::currentIndexChanged, this, &TrendRecorder::refresh);
    CmdPause = button(this, QStringLiteral("CmdPause"), QStringLiteral("Pa&use"));
    CmdPause->setCheckable(true);
    connect(CmdPause, &QPushButton::toggled, this, &TrendRecorder::setPaused);
    LblShown = label(this, QStringLiteral("LblShown"), QString());
    LblShown->setAccessibleDescription(QStringLiteral("Time shown"));

    auto *rec = new QGroupBox(QStringLiteral("Recording"), this);
    rec->setObjectName(QStringLiteral("FrameRecording"));
    LblFile = label(rec, QStringLiteral("LblFile"), QStringLiteral("No file chosen"));
    LblFile->setAccessibleDescription(QStringLiteral("Recording file"));
    LblFile->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    LblFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LblFile->setMinimumWidth(200);
    CmdChooseFile = button(rec, QStringLiteral("CmdChooseFile"), QStringLiteral("C&hoose File..."));
    CmdStart = button(rec, QStringLiteral("CmdStart"), QStringLiteral("St&art Recording"));
    CmdStop = button(rec, QStringLiteral("CmdStop"), QStringLiteral("Sto&p Recording"));
    LblRecording = label(rec, QStringLiteral("LblRecording"), QString());
    LblRecording->setAccessibleDescription(QStringLiteral("Recording state"));
    LblRecording->setWordWrap(true);
    LblRecording->setTextInteractionFlags(Qt::TextSelectableByMouse);
    connect(CmdChooseFile, &QPushButton::clicked, this, [this] {
        const QString path = chooseFileNow();
        if (!path.isEmpty()) setFile(path, QFileInfo::exists(path));  // the dialog asked before replacing
    });
    connect(CmdStart, &QPushButton::clicked, this, &TrendRecorder::startRecording);
    connect(CmdStop, &QPushButton::clicked, this, &TrendRecorder::stopRecording);
    auto *grid = new QGridLayout(rec);
    grid->addWidget(LblFile, 0, 0);
    grid->addWidget(CmdChooseFile, 0, 1);
    grid->addWidget(CmdStart, 0, 2);
    grid->addWidget(CmdStop, 0, 3);
    grid->addWidget(LblRecording, 1, 0, 1, 4);
    grid->setColumnStretch(0, 1);
}

void TrendRecorder::buildReadOut()
{
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("ReadOut"));
    m_readOutGrid = new QGridLayout(panel);
    m_readOutGrid->setHorizontalSpacing(8);
    m_readOutGrid->setVerticalSpacing(3);
    LblCursor = label(panel, QStringLiteral("LblCursor"), QString());
    LblCursor->setAccessibleDescription(QStringLiteral("Cursor time"));
    m_readOutGrid->addWidget(LblCursor, 0, 0, 1, 4);
    const QStringList heads{QStringLiteral("Value"), QStringLiteral("Latest"), QStringLiteral("At cursor"),
                            QStringLiteral("Range shown")};
    for (int c = 0; c < heads.size(); ++c)
        m_readOutGrid->addWidget(label(panel, QStringLiteral("LblReadOutHead(%1)").arg(c), heads[c]), 1, c);
}

void TrendRecorder::rebuildReadOut()
{
    for (const ReadOut &r : std::as_const(m_readOuts))
        for (QLabel *l : {r.name, r.latest, r.atCursor, r.range}) delete l;
    m_readOuts.clear();
    QWidget *panel = m_readOutGrid->parentWidget();
    for (int k = 0; k < m_channels.size(); ++k) {
        const TrendChannel &c = m_channels[k];
        const QString header = TrendChannelHeader(c);
        ReadOut r;
        // The swatch and the name carry the trace's colour; the text says it all.
        r.name = label(panel, QStringLiteral("LblReadOutName(%1)").arg(k), QStringLiteral("\u25A0 ") + header);
        QPalette pal = r.name->palette();
        pal.setColor(QPalette::WindowText, colourAt(m_channels, k));
        r.name->setPalette(pal);
        r.name->setAccessibleName(header);
        r.latest = label(panel, QStringLiteral("LblLatest(%1)").arg(k), QStringLiteral("-"));
        r.latest->setAccessibleDescription(header + QStringLiteral(", latest"));
        r.atCursor = label(panel, QStringLiteral("LblAtCursor(%1)").arg(k), QStringLiteral("-"));
        r.atCursor->setAccessibleDescription(header + QStringLiteral(", at the cursor"));
        r.range = label(panel, QStringLiteral("LblRange(%1)").arg(k), QString());
        r.range->setAccessibleDescription(header + QStringLiteral(", range shown"));
        for (QLabel *l : {r.latest, r.atCursor, r.range}) l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_readOutGrid->addWidget(r.name, k + 2, 0);
        m_readOutGrid->addWidget(r.latest, k + 2, 1);
        m_readOutGrid->addWidget(r.atCursor, k + 2, 2);
        m_readOutGrid->addWidget(r.range, k + 2, 3);
        m_readOuts << r;
    }
    // The rows stay together at the top, whatever choice came before.
    for (int row = 0; row < m_readOutGrid->rowCount(); ++row) m_readOutGrid->setRowStretch(row, 0);
    m_readOutGrid->setRowStretch(static_cast<int>(m_channels.size()) + 2, 1);
}

void TrendRecorder::addToMenu(QMenu *menu, QMdiArea *area, DriveLink &link, FileChooser &files, const Clock &clock)
{
    // Among the monitoring tools, before the alarm log when the menu has it.
    QAction *a = new QAction(QStringLiteral("&Trend Recorder"), menu);
    QAction *before = menu->findChild<QAction *>(QStringLiteral("mnuAlarmLog"));
    if (before) {
        menu->insertAction(before, a);
    } else {
        menu->addSeparator();
        menu->addAction(a);
    }
    a->setObjectName(QStringLiteral("mnuTrendRecorder"));
    QObject::connect(a, &QAction::triggered, area, [area, &link, &files, &clock] {
        auto *recorder = area->findChild<TrendRecorder *>();
        ChildFrame *frame = nullptr;
        if (!recorder) {
            recorder = new TrendRecorder(link, files, clock);
            frame = new ChildFrame;
            frame->setWidget(recorder);
            frame->setAttribute(Qt::WA_DeleteOnClose, false);
            frame->setObjectName(QStringLiteral("TrendRecorderFrame"));
            frame->setWindowTitle(recorder->windowTitle());
            area->addSubWindow(frame);
            // Never wider or taller than the main area: a control beyond its
            // edge would take the focus out of sight.
            frame->resize(frame->sizeHint().expandedTo(QSize(1060, 640)).boundedTo(area->viewport()->size()));
        } else {
            frame = qobject_cast<ChildFrame *>(recorder->parentWidget());
        }
        if (!frame) return;
        frame->show();
        if (frame->isMinimized()) frame->showNormal();
        area->setActiveSubWindow(frame);
    });
}

qint64 TrendRecorder::now() const { return m_clock.epochMs(); }

const TrendSeries *TrendRecorder::series(const TrendChannel &channel) const
{
    const auto it = m_live.find(keyOf(channel));
    return it == m_live.end() ? nullptr : &it->second;
}

void TrendRecorder::chooseItem(int list, int item)
{
    if (list < 0 || list >= TrendMaxItems) return;
    CmbItem[static_cast<size_t>(list)]->setCurrentIndex(item >= 0 && item < MonitorItemCount ? item + 1 : 0);
}

void TrendRecorder::chooseStatus(int row, bool on)
{
    if (row >= 0 && row < StatusRowCount) ChkStatus[static_cast<size_t>(row)]->setChecked(on);
}

void TrendRecorder::choiceChanged()
{
    if (!m_readOutGrid) return;  // still being built
    QList<int> items;
    for (QComboBox *c : CmbItem) items << c->currentIndex() - 1;
    QList<int> rows;
    for (int r = 0; r < StatusRowCount; ++r)
        if (ChkStatus[static_cast<size_t>(r)]->isChecked()) rows << r;
    m_channels = TrendChannels(items, rows);
    QList<int> chosen;
    for (const TrendChannel &c : std::as_const(m_channels)) {
        if (c.kind == TrendChannel::Kind::Monitor) chosen << c.index;
        // A channel chosen again goes on where it left off; the samples of
        // the others stay too, at most 18 bounded series.
        m_live.try_emplace(keyOf(c));
    }
    m_poller->setItems(chosen);
    rebuildReadOut();
    refresh();
}

void TrendRecorder::onMonitorValue(int item, qint32 value, qint64 t)
{
    const TrendChannel channel{TrendChannel::Kind::Monitor, item};
    const qsizetype pos = m_channels.indexOf(channel);
    if (pos < 0) return;
    const auto it = m_live.find(keyOf(channel));
    if (it != m_live.end()) it->second.append(t, value);
    if (m_rows) writeRow(m_rows->take(t, {{static_cast<int>(pos), static_cast<double>(value)}}));
}

void TrendRecorder::onStatusWord(quint32 word, qint64 t)
{
    QList<std::pair<int, double>> values;
    for (qsizetype k = 0; k < m_channels.size(); ++k) {
        const TrendChannel &c = m_channels[k];
        if (c.kind != TrendChannel::Kind::Status) continue;
        const double bit = TrendStatusBit(c, word);
        const auto it = m_live.find(keyOf(c));
        if (it != m_live.end()) it->second.append(t, bit);
        values.append({static_cast<int>(k), bit});
    }
    if (m_rows && !values.isEmpty()) writeRow(m_rows->take(t, values));
}

void TrendRecorder::writeRow(const std::optional<QStringList> &row)
{
    if (!row || !m_file.isOpen()) return;
    QString error;
    if (!m_file.append(*row, &error)) return failRecording(error);
    m_lastRowTime = now();
}

void TrendRecorder::tick()
{
    if (!m_file.isOpen() || !m_rows) return;
    writeRow(m_rows->idle(now()));
    if (!m_file.isOpen()) return;
    QString error;
    if (!m_file.flush(&error)) return failRecording(error);
    showRecordingState();
}

QString TrendRecorder::chooseFileNow()
{
    DlogFile dialog(this, m_files, QStringLiteral("CSV files(*.csv)|*.csv"), QStringLiteral("csv"));
    if (!m_path.isEmpty()) dialog.setInitDir(QFileInfo(m_path).absolutePath());
    return dialog.ShowSave().value_or(QString());
}

void TrendRecorder::setFile(const QString &path, bool replace)
{
    m_path = path;
    m_replace = replace;
    m_stopReason.clear();
    showRecordingState();
}

bool TrendRecorder::startRecording()
{
    if (m_file.isOpen()) return true;
    if (m_channels.isEmpty()) {
        m_stopReason = QStringLiteral("Choose at least one monitor item or status bit to record.");
        showRecordingState();
        return false;
    }
    if (m_path.isEmpty()) {
        const QString path = chooseFileNow();
        if (path.isEmpty()) return false;
        setFile(path, QFileInfo::exists(path));
    }
    auto rows = std::make_unique<TrendRows>(m_channels, now());
    QString error;
    if (!m_file.open(m_path, rows->header(), m_replace, &error)) {
        m_stopReason = QStringLiteral("Not recording: ") + error;
        showRecordingState();
        tellLater(this, m_stopReason);
        return false;
    }
    // Recording into the same file again adds rows under its header.
    m_replace = false;
    m_rows = std::move(rows);
    m_stopReason.clear();
    m_lastRowTime = 0;
    showRecordingState();
    return true;
}

void TrendRecorder::stopRecording()
{
    if (!m_file.isOpen()) return;
    QString error;
    const bool flushed = m_file.flush(&error);
    const qint64 rows = m_file.rows();
    m_file.close();
    m_rows.reset();
    m_stopReason = flushed ? QStringLiteral("Stopped: %1 rows in %2").arg(rows).arg(m_path)
                           : QStringLiteral("Stopped, but the last rows may be missing: ") + error;
    showRecordingState();
}

void TrendRecorder::failRecording(const QString &reason)
{
    m_file.close();
    m_rows.reset();
    m_stopReason = QStringLiteral("Recording stopped: ") + reason +
                   (m_lastRowTime > 0 ? QStringLiteral("\nThe rows up to %1 were written before.").arg(clockText(m_lastRowTime))
                                      : QString());
    showRecordingState();
    tellLater(this, m_stopReason);
}

void TrendRecorder::showRecordingState()
{
    const bool on = m_file.isOpen();
    // A recording started from the keyboard leaves the focus on its stop,
    // and a stopped one on its start, not on whatever follows them.
    const bool keys = CmdStart->hasFocus() || CmdStop->hasFocus();
    CmdStop->setEnabled(on);
    CmdStart->setEnabled(!on);
    if (keys) (on ? CmdStop : CmdStart)->setFocus(Qt::OtherFocusReason);
    for (QComboBox *c : CmbItem) c->setEnabled(!on);
    for (QCheckBox *c : ChkStatus) c->setEnabled(!on);
    CmdChooseFile->setEnabled(!on);
    LblFile->setText(m_path.isEmpty() ? QStringLiteral("No file chosen") : m_path);
    QString text = m_stopReason;
    if (on) text = QStringLiteral("Recording: %1 rows").arg(m_file.rows());
    else if (text.isEmpty()) text = QStringLiteral("Not recording");
    if (LblRecording->text() != text) LblRecording->setText(text);
    QPalette pal = LblRecording->palette();
    pal.setColor(QPalette::WindowText, !on && m_stopReason.startsWith(QStringLiteral("Recording stopped"))
                                           ? QColor(0xB0, 0, 0)
                                           : palette().color(QPalette::WindowText));
    LblRecording->setPalette(pal);
}

void TrendRecorder::setPaused(bool on)
{
    m_paused = on;
    if (on) {
        m_frozen = m_live;  // the view keeps these; collecting goes on in m_live
        m_pausedEnd = now();
    }
    CmdPause->setText(on ? QStringLiteral("Res&ume") : QStringLiteral("Pa&use"));
    CmdPause->setAccessibleName(on ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    refresh();
    if (!on) m_frozen.clear();
}

void TrendRecorder::refresh()
{
    if (!isVisible()) return;  // minimised: nothing to show, the collecting goes on
    const std::map<int, TrendSeries> &shown = m_paused ? m_frozen : m_live;
    QList<TrendPlot::Trace> traces;
    for (qsizetype k = 0; k < m_channels.size(); ++k) {
        const TrendChannel &c = m_channels[k];
        const auto it = shown.find(keyOf(c));
        traces.append({TrendChannelHeader(c), colourAt(m_channels, k), TrendChannelDigital(c),
                       it == shown.end() ? nullptr : &it->second});
    }
    const qint64 span = TrendSpans()[static_cast<size_t>(qBound(0, CmbSpan->currentIndex(), 5))].ms;
    const qint64 end = m_paused ? m_pausedEnd : now();
    Plot->setTraces(traces);
    Plot->setView(end, span);
    setTextIfChanged(LblShown, QStringLiteral("Shown: %1 to %2%3")
                                        .arg(QDateTime::fromMSecsSinceEpoch(end - span).toString(QStringLiteral("HH:mm:ss")),
                                             QDateTime::fromMSecsSinceEpoch(end).toString(QStringLiteral("HH:mm:ss")),
                                             m_paused ? QStringLiteral(" (paused; still collecting)") : QString()));
    const QList<std::pair<double, double>> ranges = Plot->ranges();
    const qint64 t = now();
    for (qsizetype k = 0; k < m_readOuts.size() && k < m_channels.size(); ++k) {
        const TrendChannel &c = m_channels[k];
        const TrendSeries *live = series(c);
        const std::optional<double> latest = live ? live->valueAt(t) : std::nullopt;
        setTextIfChanged(m_readOuts[k].latest, latest ? TrendValueText(c, *latest) : QStringLiteral("no value"));
        const auto [lo, hi] = ranges.value(k, {0.0, 1.0});
        setTextIfChanged(m_readOuts[k].range, TrendChannelDigital(c) ? QStringLiteral("0 to 1")
                                                                          : QStringLiteral("%1 to %2")
                                                                                .arg(TrendPlot::scaleText(lo),
                                                                                     TrendPlot::scaleText(hi)));
    }
    updateCursorLabels();
    if (m_file.isOpen()) showRecordingState();
}

void TrendRecorder::updateCursorLabels()
{
    setTextIfChanged(LblCursor, m_cursor ? QStringLiteral("Cursor: ") + clockText(*m_cursor)
                                              : QStringLiteral("Cursor: click or point at the chart"));
    const std::map<int, TrendSeries> &shown = m_paused ? m_frozen : m_live;
    for (qsizetype k = 0; k < m_readOuts.size() && k < m_channels.size(); ++k) {
        QString text = QStringLiteral("-");
        if (m_cursor) {
            const auto it = shown.find(keyOf(m_channels[k]));
            const std::optional<double> v = it == shown.end() ? std::nullopt : it->second.valueAt(*m_cursor);
            text = v ? TrendValueText(m_channels[k], *v) : QStringLiteral("no value");
        }
        setTextIfChanged(m_readOuts[k].atCursor, text);
    }
}
