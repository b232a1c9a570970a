#include "tbl_writ.h"

#include "common/importreport.h"

#include "common/halfwritten.h"
#include "common/messagelines.h"
#include "drive/valuechecks.h"
#include "common/twips.h"
#include "common/changemark.h"
#include "drive/params/parameterjobs.h"
#include "drive/points/pointjobs.h"
#include "drive/link/drivelink.h"
#include "common/fieldevents.h"
#include "drive/params/entrychecks.h"
#include "drive/points/pointfile.h"
#include "pointlayout.h"
#include "drive/points/pointrules.h"
#include "drive/points/pointmodel.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>

namespace {


struct ColumnLook {
    const char16_t *header;
    const char16_t *tip;
    int left;   // in the scrolled picture, twips
    int width;
};

// abs/inc, travel, speed, acc/dec.
constexpr std::array<ColumnLook, PointColumns> Columns{{
    {u"abs/inc", u"0/1", 960, 720},
    {u"Travel", u"-2000000 - 2000000[\u03BCm]", 1770, 1350},
    {u"Speed", u"1 - 2500[mm/s]", 3210, 1050},
    {u"Acc/Dec", u"1 - 9999[ms/0-3000rpm]", 4350, 1050},
}};

// Fixed places in the window, twips.
constexpr int ViewLeft = 120;
constexpr int ViewTop = 480;
constexpr int ViewWidth = 5400;
constexpr int ScrollWidth = 255;
constexpr int HeaderTop = 180;
constexpr int HeaderHeight = 255;
constexpr int LabelLeft = 60;
constexpr int LabelWidth = 840;
constexpr int CmdHeight = 495;
constexpr int ButtonTop = 60;
constexpr int ButtonHeight = 375;

const QColor OddRowColor(192, 192, 255);

QString str(const char16_t *text) { return QString::fromUtf16(text); }

}  // namespace

Tbl_Writ::Tbl_Writ(DriveLink &link, PointModel &points, FileChooser &files, QWidget *parent)
    : ChildWindow(QStringLiteral("Tbl_Writ"), QStringLiteral("Point Table"), QString(), parent),
      dlogFile(this, files, QStringLiteral("Tavix-DRIVE point table files(*.ptt)|*.ptt"), QStringLiteral("ptt")),
      m_link(link),
      m_points(points)
{
    buildGrid();
    // Both ways: a field's edit goes into the model, the model's text into
    // its field; the mark follows either.
    connect(&m_points, &PointModel::textChanged, this, &Tbl_Writ::showText);
    connect(&m_points, &PointModel::baselineChanged, this, [this] {
        for (int r = 0; r < PointCount; ++r)
            for (int c = 0; c < PointColumns; ++c) markField(r, c);
    });
    buildButtons();
    applyLayout(TblGeometry::LoadHeight);

    // The time-out's Cancel, an "ERR" reply, a lost port or offline mode.
    m_link.addAbandonHandler([this] { restoreRWButtons(); });

    TimerTblMain.setObjectName(QStringLiteral("TimerTblMain"));
    TimerTblMain.setInterval(200);
    connect(&TimerTblMain, &QTimer::timeout, this, &Tbl_Writ::TimerTblMain_Timer);
    TimerTblMain.start();
}

QSize Tbl_Writ::loadSize() { return Twips::size(TblGeometry::LoadWidth, TblGeometry::LoadHeight); }

void Tbl_Writ::buildGrid()
{
    for (int c = 0; c < PointColumns; ++c) {
        LblMaxMin[c] = new QLabel(str(Columns[c].header), this);
        LblMaxMin[c]->setObjectName(QStringLiteral("LblMaxMin(%1)").arg(c));
        LblMaxMin[c]->setAlignment(Qt::AlignCenter);
        LblMaxMin[c]->setToolTip(str(Columns[c].tip));
        LblMaxMin[c]->setGeometry(
            Twips::rect(ViewLeft + Columns[c].left, HeaderTop, Columns[c].width, HeaderHeight));
    }

    PictWin = new QWidget(this);
    PictWin->setObjectName(QStringLiteral("PictWin"));
    PictScrl = new QWidget(PictWin);
    PictScrl->setObjectName(QStringLiteral("PictScrl"));
    PictScrl->setGeometry(Twips::rect(0, 0, ViewWidth, TblGeometry::ScrlHeight));

    VScrlPict = new QScrollBar(Qt::Vertical, this);
    VScrlPict->setObjectName(QStringLiteral("VScrlPict"));
    VScrlPict->setAccessibleName(QStringLiteral("Points"));
    VScrlPict->setSingleStep(TblGeometry::RowPitch);
    connect(VScrlPict, &QScrollBar::valueChanged, this, [this](int value) { PictScrl->move(0, Twips::px(-value)); });
    PictScrl->installEventFilter(this);

    std::array<std::array<QLineEdit *, PointCount> *, PointColumns> columns{&TxtInc, &TxtLocate, &TxtSpd, &TxtKGJit};
    static constexpr const char *FieldNames[PointColumns] = {"TxtInc", "TxtLocate", "TxtSpd", "TxtKGJit"};
    for (int r = 0; r < PointCount; ++r) {
        const QString point = QStringLiteral("POINT%1").arg(r);
        LblPoint[r] = new QLabel(point, PictScrl);
        LblPoint[r]->setObjectName(QStringLiteral("LblPoint(%1)").arg(r));
        LblPoint[r]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        LblPoint[r]->setGeometry(Twips::rect(LabelLeft, PointRowTop(r), LabelWidth, TblGeometry::FieldHeight));
        // Created row by row, so Tab walks along a point.
        for (int c = 0; c < PointColumns; ++c) {
            auto *edit = new QLineEdit(m_points.text(r, c), PictScrl);
            edit->setObjectName(QStringLiteral("%1(%2)").arg(QLatin1String(FieldNames[c])).arg(r));
            edit->setAccessibleName(point + QLatin1Char(' ') + str(Columns[c].header));
            edit->setToolTip(str(Columns[c].tip));
            edit->setAccessibleDescription(QStringLiteral("Range and unit: ") + str(Columns[c].tip));
            edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            edit->setGeometry(Twips::rect(Columns[c].left, PointRowTop(r), Columns[c].width, TblGeometry::FieldHeight));
            if (r % 2 == 1) {
                QPalette pal = edit->palette();
                pal.setColor(QPalette::Base, OddRowColor);
                edit->setPalette(pal);
            }
            edit->installEventFilter(this);
            connect(edit, &QLineEdit::textChanged, this,
                    [this, r, c](const QString &text) { m_points.setText(PointModel::cell(r, c), text); });
            (*columns[c])[r] = edit;
            m_cells.insert(edit, {r, c});
        }
    }
}

void Tbl_Writ::buildButtons()
{
    PictCmd = new QWidget(this);
    PictCmd->setObjectName(QStringLiteral("PictCmd"));
    auto button = [this](const QString &caption, const QString &name, int left, int width) {
        auto *b = new QPushButton(caption, PictCmd);
        b->setObjectName(name);
        b->setAccessibleName(caption);
        b->setGeometry(Twips::rect(left, ButtonTop, width, ButtonHeight));
        return b;
    };
    CmdRW[0] = button(QStringLiteral("Import Data"), QStringLiteral("CmdRW(0)"), 0, 1170);
    CmdRW[1] = button(QStringLiteral("Export Data"), QStringLiteral("CmdRW(1)"), 1230, 1170);
    CmdFile[0] = button(QStringLiteral("Open File"), QStringLiteral("CmdFile(0)"), 2550, 1050);
    CmdFile[1] = button(QStringLiteral("Save File"), QStringLiteral("CmdFile(1)"), 3660, 1050);
    CmdFlash = button(QStringLiteral("ﾌﾗｯｼｭ"), QStringLiteral("CmdFlash"), 4830, 825);
    CmdFlash->setToolTip(QStringLiteral("RAM上ﾃﾞｰﾀをEEPROMに保存"));
    const QString flashNote =
        QStringLiteral("Export Data keeps the table in the drive's EEPROM by itself; this button does nothing more.");
    CmdFlash->setStatusTip(flashNote);
    CmdFlash->setAccessibleDescription(flashNote);
    CmdRW[1]->setEnabled(false);
    CmdFlash->setEnabled(false);
    PictCmd->resize(Twips::px(ViewWidth + ScrollWidth), Twips::px(CmdHeight));

    for (int i = 0; i < 2; ++i) {
        connect(CmdRW[i], &QPushButton::clicked, this, [this, i] { CmdRW_Click(i); });
        connect(CmdFile[i], &QPushButton::clicked, this, [this, i] { CmdFile_Click(i); });
    }
}

QLineEdit *Tbl_Writ::field(int row, int column) const
{
    switch (column) {
    case PointColumn::Inc:
        return TxtInc[row];
    case PointColumn::Locate:
        return TxtLocate[row];
    case PointColumn::Spd:
        return TxtSpd[row];
    default:
        return TxtKGJit[row];
    }
}

bool Tbl_Writ::eventFilter(QObject *watched, QEvent *event)
{
    const auto it = m_cells.constFind(watched);
    // The wheel scrolls the rows wherever the mouse stands over them.
    if (event->type() == QEvent::Wheel && (watched == PictScrl || it != m_cells.cend()))
        return QCoreApplication::sendEvent(VScrlPict, event);
    if (it == m_cells.cend()) return ChildWindow::eventFilter(watched, event);
    const Cell cell = *it;
    switch (event->type()) {
    case QEvent::FocusIn:
        if (FocusMoves(static_cast<QFocusEvent *>(event))) ShowPointRow(cell.row);
        break;
    case QEvent::FocusOut: {
        if (!FocusMoves(static_cast<QFocusEvent *>(event))) break;
        QLineEdit *edit = field(cell.row, cell.column);
        const QString checked = CheckPointEntry(cell.column, edit->text());
        if (checked != edit->text()) edit->setText(checked);
        break;
    }
    case QEvent::KeyPress: {
        auto *press = static_cast<QKeyEvent *>(event);
        // Several cells from a spreadsheet go in as a block from this cell on;
        // a single value is pasted into the field as usual.
        if (press->matches(QKeySequence::Paste)) {
            const QString text = QGuiApplication::clipboard()->text();
            if (text.trimmed().contains(u'\t') || text.trimmed().contains(u'\n')) {
                pasteBlock(cell.row, cell.column, text);
                return true;
            }
        }
        if (press->key() == Qt::Key_C && press->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier)) {
            QGuiApplication::clipboard()->setText(m_points.tableText());
            return true;
        }
        const int key = KeyCodeOf(press);
        if (key == 0) break;
        int row = cell.row;
        NextTxtIndex(row, key, PointCount);
        field(row, cell.column)->setFocus(Qt::OtherFocusReason);
        return true;
    }
    default:
        break;
    }
    return ChildWindow::eventFilter(watched, event);
}

void Tbl_Writ::ShowPointRow(int row)
{
    VScrlPict->setValue(ShowPointRowValue(row, VScrlPict->value(), m_viewportHeight, VScrlPict->maximum()));
}

int Tbl_Writ::windowHeight() const
{
    // The window's height is that of its frame, title bar included, as the
    // fixed parts of the layout (header labels, title bar, margins) assume.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget())) return int(Twips::tw(frame->height()));
    return int(Twips::tw(height()));
}

void Tbl_Writ::TimerTblMain_Timer()
{
    auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget());
    if (frame) {
        // Nothing to lay out while only the title shows.
        if (frame->isMinimized()) return;
        if (!frame->isMaximized()) {
            const int w = Twips::px(HoldToMinimum(int(Twips::tw(frame->width())), TblGeometry::MinWidth));
            const int h = Twips::px(HoldToMinimum(int(Twips::tw(frame->height())), TblGeometry::MinHeight));
            if (w != frame->width() || h != frame->height()) frame->resize(w, h);
        }
    }
    const int height = windowHeight();
    if (height == m_rememberedHeight) return;
    applyLayout(height);
    m_rememberedHeight = height;
}

void Tbl_Writ::applyLayout(int windowHeight)
{
    const TblLayout l = LayoutTblMain(windowHeight, CmdHeight);
    m_viewportHeight = l.viewportHeight;
    PictWin->setGeometry(Twips::rect(ViewLeft, ViewTop, ViewWidth, l.viewportHeight));
    VScrlPict->setGeometry(Twips::rect(ViewLeft + ViewWidth, ViewTop, ScrollWidth, l.viewportHeight));
    // A switched-off scroll bar stays in its place, greyed.
    VScrlPict->setEnabled(l.scrollOn);
    VScrlPict->setMaximum(l.scrollMax);
    PictCmd->move(Twips::px(ViewLeft), Twips::px(l.cmdTop));
    if (l.largeStep) VScrlPict->setPageStep(*l.largeStep);
}

void Tbl_Writ::PointDataFromGrid() { m_points.dataFromTexts(); }

void Tbl_Writ::PointDataToGrid() { m_points.dataToTexts(); }

void Tbl_Writ::showText(int cell, const QString &text)
{
    const int row = cell / PointColumns, column = cell % PointColumns;
    if (field(row, column)->text() != text) field(row, column)->setText(text);
    markField(row, column);
}

// --- transfer -------------------------------------------------------------

void Tbl_Writ::CmdRW_Click(int index)
{
    if (!m_link.transferOwner().isEmpty()) {
        tellTransferBusy();
        return;
    }
    if (index == 1 && !backUp()) return;
    DriveJob *job = index == 0 ? importJob() : exportJob();
    job->start();
    // Both directions share the point counter, so neither may start while
    // the other runs.
    CmdRW[0]->setEnabled(false);
    CmdRW[1]->setEnabled(false);
}

bool Tbl_Writ::backUp()
{
    m_backup.clear();
    if (!m_options || !m_options->backUpBeforeWriting || !m_points.driveTable()) return true;
    const std::optional<QString> kept = KeepBackup(this, QStringLiteral("pointtable"), QStringLiteral("ptt"),
                                                   EncodePointFile(*m_points.driveTable()), m_link.port().describe());
    if (kept) {
        m_backup = *kept;
        Q_EMIT backupKept(*kept);
    }
    return kept.has_value();
}

void Tbl_Writ::tellWriteStopped(const QString &what, const WriteProgress &progress, const QString &backup)
{
    if (!progress.halfWritten()) return Q_EMIT transferReport(what);
    const QString holds = HalfWrittenText(progress, QStringLiteral("point"), QDir::toNativeSeparators(backup));
    Q_EMIT transferReport(what + QStringLiteral(". ") + holds);
    if (!m_options || !m_options->backUpBeforeWriting) return;
    OpenHalfWrittenMessage(this, what, holds, backup, WriteSpan(QStringLiteral("point"), PointCount),
                           [this, backup] { writeBackupBack(backup); });
}

void Tbl_Writ::writeBackupBack(const QString &path)
{
    const QString where = QDir::toNativeSeparators(path);
    const auto report = [this](const QString &text) { Q_EMIT transferReport(text); };
    std::optional<PointData> table;
    QFile file(path);
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly)) table = DecodePointFile(file.read(PointFileSize + 1));
    if (!table)
        return TellWriteBackFailed(
            this, QStringLiteral("The backup %1 cannot be read as a point table file; nothing was written.").arg(where), report);
    auto *job = new WritePointTableJob(m_link, this);
    job->setSource(*table);
    connect(job, &WritePointTableJob::pointsWritten, this, &Tbl_Writ::restoreRWButtons);
    const QString done =
        QStringLiteral("The backup %1 was written back: %2 points, saved in the drive's memory").arg(where).arg(PointCount);
    if (StartWriteBack(this, job, path, done, report, [this, job, path](const QString &what) {
            restoreRWButtons();
            tellWriteStopped(what, job->progress(), path);
        })) {
        CmdRW[0]->setEnabled(false);
        CmdRW[1]->setEnabled(false);
    }
}

void Tbl_Writ::tellTransferBusy()
{
    const QString what = m_link.transferOwner() == QLatin1String(ParametersTransfer)
                             ? QStringLiteral("The parameters are being transferred")
                             : QStringLiteral("Another transfer is running");
    ShowMessage(this, QMessageBox::Information, windowTitle(),
                what + QStringLiteral(" to or from the drive.\nStart the point table transfer when it has finished."),
                QStringLiteral("TransferBusyMessage"));
}

void Tbl_Writ::restoreRWButtons()
{
    CmdRW[0]->setEnabled(true);
    CmdRW[1]->setEnabled((m_link.state().ReadDoneFlags & ReadDone::PointTable) != 0);
}

DriveJob *Tbl_Writ::importJob()
{
    auto *job = new ReadPointTableJob(m_link, this);
    job->setConfirmed(m_options && m_options->readEachBlockTwice);
    // The table takes each point as it comes; the grid shows it at the end.
    connect(job, &ReadPointTableJob::pointRead, this, [this, job](int p) { m_points.setPoint(p, job->result()); });
    connect(job, &DriveJob::progressed, this, [this](int step, int steps) {
        Q_EMIT transferReport(QStringLiteral("Reading the point table: point %1 of %2").arg(step).arg(steps));
    });
    connect(job, &DriveJob::finished, this, [this, job](DriveJob::Ending ending) {
        job->deleteLater();
        if (ending == DriveJob::Ending::Done) {
            PointDataToGrid();
            m_points.setDriveTable(job->result());
            m_points.setBaseline(job->result());
        }
        restoreRWButtons();
        if (ending == DriveJob::Ending::Done) CmdFlash->setEnabled(true);
        Q_EMIT transferReport(ending == DriveJob::Ending::Done
                                  ? QStringLiteral("Point table read: %1 points").arg(PointCount)
                                  : QStringLiteral("Reading the point table: ") +
                                        DriveJob::endingText(ending, job->errorCode()));
    });
    return job;
}

DriveJob *Tbl_Writ::exportJob()
{
    auto *job = new WritePointTableJob(m_link, this);
    auto sent = std::make_shared<PointData>(m_points.textValues());
    // Each point is built from its fields as they read when it goes out.
    job->pointTexts = [this, sent](int p) {
        std::array<QString, PointColumns> texts;
        for (int c = 0; c < PointColumns; ++c) {
            texts[c] = m_points.text(p, c);
            (*sent)[PointColumns * p + c] = PointCellValue(texts[c]);
        }
        return texts;
    };
    connect(job, &WritePointTableJob::pointsWritten, this, &Tbl_Writ::restoreRWButtons);
    connect(job, &DriveJob::progressed, this, [this](int step, int steps) {
        Q_EMIT transferReport(QStringLiteral("Writing the point table: step %1 of %2").arg(step).arg(steps));
    });
    connect(job, &DriveJob::finished, this, [this, job, sent, backup = m_backup](DriveJob::Ending ending) {
        job->deleteLater();
        if (ending != DriveJob::Ending::Done) {
            restoreRWButtons();
            tellWriteStopped(QStringLiteral("Writing the point table: ") + DriveJob::endingText(ending, job->errorCode()),
                             job->progress(), backup);
            return;
        }
        m_points.setBaseline(*sent);
        const QString written = QStringLiteral("Written: %1 points").arg(PointCount);
        if (!m_options || !m_options->verifyAfterWriting) return Q_EMIT transferReport(written);
        DriveJob *verify = verifyJob(*sent);
        if (verify->start()) return;
        // Another transfer began while FLASH was answered.
        delete verify;
        Q_EMIT transferReport(written + QStringLiteral(", not read back: another transfer runs"));
    });
    return job;
}

DriveJob *Tbl_Writ::verifyJob(const PointData &sent)
{
    // What was written is read back and compared; the fields stay as typed.
    auto *job = new ReadPointTableJob(m_link, this);
    job->setConfirmed(m_options && m_options->readEachBlockTwice);
    connect(job, &DriveJob::progressed, this, [this](int step, int steps) {
        Q_EMIT transferReport(QStringLiteral("Verifying the point table: point %1 of %2").arg(step).arg(steps));
    });
    connect(job, &DriveJob::finished, this, [this, job, sent](DriveJob::Ending ending) {
        job->deleteLater();
        if (ending != DriveJob::Ending::Done) {
            Q_EMIT transferReport(QStringLiteral("Written: %1 points; reading them back: ").arg(PointCount) +
                                  DriveJob::endingText(ending, job->errorCode()));
            return;
        }
        const PointData &drive = job->result();
        const PointTexts sentTexts = PointDataToTexts(sent);
        const PointTexts driveTexts = PointDataToTexts(drive);
        QStringList differ;
        for (int i = 0; i < PointCount * PointColumns; ++i)
            if (drive[i] != sent[i])
                differ << QStringLiteral("POINT%1 %2 (sent %3, drive has %4)")
                              .arg(i / PointColumns)
                              .arg(QStringList{"abs/inc", "Travel", "Speed", "Acc/Dec"}[i % PointColumns],
                                   sentTexts[i].trimmed(), driveTexts[i].trimmed());
        m_points.setDriveTable(drive);
        m_points.setBaseline(drive);  // a field the drive did not take stays marked
        Q_EMIT transferReport(differ.isEmpty() ? QStringLiteral("Written and verified: %1 points").arg(PointCount)
                                               : QStringLiteral("Written, but %1 values differ on the drive: ")
                                                         .arg(differ.size()) +
                                                     differ.join(QStringLiteral(", ")));
    });
    return job;
}

CsvImport<PointTable> Tbl_Writ::pasteBlock(int row, int column, const QString &text)
{
    const PointTable before = m_points.textValues();
    CsvImport<PointTable> paste = PastePointCells(text, row, column, before);
    // Only cells the paste took change; a refused cell keeps its text.
    for (int i = 0; i < PointCount * PointColumns; ++i)
        if (paste.values[i] != before[i]) m_points.setText(i, PointCellText(i % PointColumns, paste.values[i]));
    const QString summary = QStringLiteral("Pasted %1 cells: ").arg(paste.lines.size()) + ImportSummary(paste);
    Q_EMIT transferReport(summary);
    using K = CsvLineReport::Kind;
    if (paste.count(K::Changed) + paste.count(K::Refused) > 0)
        ShowImportReport(this, QStringLiteral("Paste into the Point Table"),
                         summary + QStringLiteral("\n\n") + ImportReportLines(paste.lines, QStringLiteral("Cell")));
    return paste;
}

void Tbl_Writ::markField(int row, int column)
{
    const int i = PointModel::cell(row, column);
    MarkChanged(field(row, column), m_points.changed(i) ? m_points.baselineText(i) : QString());
}

// --- file ---------------------------------------------------------------

void Tbl_Writ::CmdFile_Click(int index)
{
    if (index == 0) openFile();
    else saveFile();
    CmdFile[index]->setFocus(Qt::OtherFocusReason);
}

void Tbl_Writ::openFile()
{
    for (;;) {
        const std::optional<QString> path = dlogFile.ShowOpen();
        if (!path) return;
        const PointFileRead read = ReadPointFile(*path);
        if (read.status == PointFileRead::Status::Failed) return;
        if (read.status == PointFileRead::Status::Ok) {
            // Shown as they are; a value outside its range would reach the
            // drive changed by the cell's check, so the user hears which.
            m_points.showTable(read.data);
            m_points.setBaseline(read.data);
            dlogFile.commit();
            if (const QStringList problems = PointTableProblems(read.data); !problems.isEmpty())
                Q_EMIT transferReport(OutOfRangeText(*path, problems));
            return;
        }
        ShowMessage(this, QMessageBox::Critical, QStringLiteral("error"),
                    *path + QStringLiteral("\rInvalid File"), QStringLiteral("InvalidFileMessage"));
    }
}

void Tbl_Writ::saveFile()
{
    const std::optional<QString> path = dlogFile.ShowSave();
    if (!path) return;
    PointDataFromGrid();
    QString reason;
    if (WritePointFile(*path, m_points.data(), &reason)) {
        dlogFile.commit();
        return;
    }
    // Saying nothing would leave the user believing the table is kept.
    ShowMessage(this, QMessageBox::Critical, QStringLiteral("error"),
                *path + QStringLiteral("\rThe file could not be written: ") + reason,
                QStringLiteral("SaveFailedMessage"));
}
