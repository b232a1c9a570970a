#include "prm_writ.h"

#include "drive/savefile.h"

#include "common/halfwritten.h"
#include "common/messagelines.h"
#include "drive/valuechecks.h"
#include "drive/numtext.h"
#include "common/changemark.h"
#include "drive/params/parameterjobs.h"
#include "drive/link/drivelink.h"
#include "common/fieldevents.h"
#include "drive/params/entrychecks.h"
#include "params/helparea.h"
#include "drive/params/paramfile.h"
#include "drive/params/paramtext.h"
#include "drive/params/parametermodel.h"
#include "drive/makermode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const char *const IndexProperty = "paramIndex";
const char *const TagProperty = "Tag";

}  // namespace

Prm_Writ::Prm_Writ(DriveLink &link, ParameterModel &params, const MakerMode &maker, FileChooser &files,
                   QWidget *parent)
    : ChildWindow(QStringLiteral("Prm_Writ"), QStringLiteral("Setting Parameters"), QString(), parent),
      DlogFile(this, files, QStringLiteral("Tavix-DRIVE parameter files(*.pxt)|*.pxt"), QStringLiteral("pxt")),
      m_link(link),
      m_params(params),
      m_maker(maker)
{
    SSTabPrm = new QTabWidget(this);
    SSTabPrm->setObjectName(QStringLiteral("SSTabPrm"));
    SSTabPrm->setAccessibleName(QStringLiteral("Parameter blocks"));

    // One row per parameter: its name, then its field. A field is as wide as
    // eight hexadecimal digits or "-2000000" with room to spare.
    const int fieldWidth = fontMetrics().horizontalAdvance(QStringLiteral("-20000000000"));
    std::array<QGridLayout *, ParamBlockCount> grids{};
    int nameWidth = 0;
    for (int t = 0; t < ParamBlockCount; ++t) {
        auto *page = new QWidget;
        page->setObjectName(QStringLiteral("SSTabPrmPage(%1)").arg(t));
        auto *grid = grids[t] = new QGridLayout(page);
        // Each field stays beside its name however wide the window is.
        grid->setColumnStretch(2, 1);
        grid->setHorizontalSpacing(12);
        grid->setVerticalSpacing(4);
        for (int i = 0; i < ParamBlockSize; ++i) {
            const int k = t * ParamBlockSize + i;
            TxtPrm[k] = new QLineEdit(m_params.text(k), page);
            QLineEdit *field = TxtPrm[k];
            field->setObjectName(QStringLiteral("TxtPrm(%1)").arg(k));
            field->setProperty(IndexProperty, k);
            field->setProperty(TagProperty, ParamIsHex(k) ? QStringLiteral("H") : QString());
            field->setFixedWidth(fieldWidth);
            field->setAccessibleName(ParamSpokenName(k));
            // A field typed in hexadecimal says so to the eye and the ear.
            field->setAccessibleDescription(ParamIsHex(k) ? QStringLiteral("Hexadecimal. ") + ParamHelp(k) : ParamHelp(k));
            if (ParamIsHex(k)) field->setToolTip(QStringLiteral("Hexadecimal"));
            field->installEventFilter(this);

            LblMaxMin[k] = new QLabel(ParamName(k), page);
            QLabel *label = LblMaxMin[k];
            label->setObjectName(QStringLiteral("LblMaxMin(%1)").arg(k));
            label->setBuddy(field);
            // A name that ends in a line break would make its row taller and
            // sit higher than the others: every name gets the field's height
            // and starts where a one-line name would.
            const int height = field->sizeHint().height();
            label->setFixedHeight(height);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setContentsMargins(0, std::max(0, (height - label->fontMetrics().height()) / 2), 0, 0);

            nameWidth = std::max(nameWidth, label->sizeHint().width());
            grid->addWidget(label, i, 0);
            grid->addWidget(field, i, 1);
        }
        grid->setRowStretch(ParamBlockSize, 1);
        SSTabPrm->addTab(page, ParamTabCaption(t));
    }
    // The fields stand in one column on every tab.
    for (QGridLayout *grid : grids) grid->setColumnMinimumWidth(0, nameWidth);
    for (int k = 1; k < ParamCount; ++k) setTabOrder(TxtPrm[k - 1], TxtPrm[k]);

    PictureSetu = new HelpArea(this);
    PictureSetu->setObjectName(QStringLiteral("PictureSetu"));
    QStringList helps;
    for (int k = 0; k < UserParamCount; ++k) helps << ParamHelp(k);
    PictureSetu->fitTexts(helps);

    const QString fileCaptions[2] = {QStringLiteral("Open File"), QStringLiteral("Save File")};
    const QString rwCaptions[2] = {QStringLiteral("Import Data"), QStringLiteral("Export Data")};
    for (int i = 0; i < 2; ++i) {
        CmdFile[i] = new QPushButton(fileCaptions[i], this);
        CmdFile[i]->setObjectName(QStringLiteral("CmdFile(%1)").arg(i));
        connect(CmdFile[i], &QPushButton::clicked, this, [this, i] { CmdFile_Click(i); });
        CmdRW[i] = new QPushButton(rwCaptions[i], this);
        CmdRW[i]->setObjectName(QStringLiteral("CmdRW(%1)").arg(i));
        connect(CmdRW[i], &QPushButton::clicked, this, [this, i] { CmdRW_Click(i); });
    }
    // Nothing to write until the drive's parameters have been read once.
    CmdRW[1]->setEnabled(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(CmdFile[0]);
    buttons->addWidget(CmdFile[1]);
    buttons->addStretch(1);
    buttons->addWidget(CmdRW[0]);
    buttons->addWidget(CmdRW[1]);

    auto *column = new QVBoxLayout(this);
    column->setSizeConstraint(QLayout::SetMinimumSize);  // never squeezed below legibility
    column->addWidget(SSTabPrm);
    column->addWidget(PictureSetu);
    column->addLayout(buttons);

    SetMakerMode(false);

    m_link.addAbandonHandler([this] { restoreTransferButtons(); });
    // Both ways: a field's edit goes into the model, the model's text into
    // its field; the mark follows either.
    for (int k = 0; k < ParamCount; ++k)
        connect(TxtPrm[k], &QLineEdit::textChanged, this, [this, k](const QString &text) { m_params.setText(k, text); });
    connect(&m_params, &ParameterModel::textChanged, this, &Prm_Writ::showText);
    connect(&m_params, &ParameterModel::baselineChanged, this, [this] {
        for (int k = 0; k < ParamCount; ++k) markField(k);
    });
    for (int k = 0; k < ParamCount; ++k) markField(k);
}

void Prm_Writ::showText(int k, const QString &text)
{
    if (TxtPrm[k]->text() != text) TxtPrm[k]->setText(text);
    markField(k);
}

bool Prm_Writ::isHexField(int k) const { return TxtPrm[k]->property(TagProperty).toString() == u"H"; }

void Prm_Writ::SetMakerMode(bool on)
{
    for (int k = UserParamCount; k < ParamCount; ++k) {
        TxtPrm[k]->setVisible(on);
        LblMaxMin[k]->setVisible(on);
    }
}

// --- focus, entry checks and the key rule ----------------------------------

bool Prm_Writ::eventFilter(QObject *watched, QEvent *event)
{
    const QVariant index = watched->property(IndexProperty);
    if (!index.isValid()) return ChildWindow::eventFilter(watched, event);
    const int k = index.toInt();
    switch (event->type()) {
    case QEvent::FocusIn:
        if (FocusMoves(static_cast<QFocusEvent *>(event))) TxtPrm_GotFocus(k);
        break;
    case QEvent::FocusOut:
        if (FocusMoves(static_cast<QFocusEvent *>(event))) TxtPrm_LostFocus(k);
        break;
    case QEvent::KeyPress: {
        const int code = KeyCodeOf(static_cast<QKeyEvent *>(event));
        if (code != 0) {
            TxtPrm_KeyDown(k, code);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return ChildWindow::eventFilter(watched, event);
}

void Prm_Writ::TxtPrm_GotFocus(int k)
{
    // Printed where the last text ended, without clearing first.
    if (k < UserParamCount) PictureSetu->Print(ParamHelp(k));
}

void Prm_Writ::TxtPrm_LostFocus(int k)
{
    if (k >= UserParamCount) return;  // the maker set keeps whatever is typed
    QLineEdit *field = TxtPrm[k];
    const QString checked =
        isHexField(k) ? CheckRangeHex(field->text(), ParamRange(k)) : CheckRangeDec(field->text(), ParamRange(k));
    if (checked != field->text()) field->setText(checked);
    PictureSetu->Cls();
}

void Prm_Writ::TxtPrm_KeyDown(int k, int keyCode)
{
    const int count = m_maker.isOn() ? ParamCount : UserParamCount;
    int next = k;
    NextTxtIndex(next, keyCode, count);
    if (next == k) return;
    // Leave field k first (its check runs), so that switching the tab does
    // not hand the focus to some other field on the way.
    TxtPrm[k]->clearFocus();
    QLineEdit *target = TxtPrm[next];
    if (target->isHidden() || !target->isEnabled()) {
        next = 0;
        target = TxtPrm[0];
    }
    SSTabPrm->setCurrentIndex(next / ParamBlockSize);
    target->setFocus(Qt::OtherFocusReason);
}

// --- transfer ----------------------------------------------------------------

void Prm_Writ::CmdRW_Click(int index)
{
    // The parameter and point table transfers share the block counter and the
    // request slot: one at a time, and one sequence of this window at a time.
    if (!m_link.transferOwner().isEmpty()) {
        Q_EMIT transferRefused(QStringLiteral("A transfer with the drive is already running.\n"
                                              "Wait until it has finished, then try again."));
        return;
    }
    if (index == 1 && !backUp()) return;
    DriveJob *job = index == 0 ? importJob() : exportJob();
    job->start();
    CmdRW[index]->setEnabled(false);
}

bool Prm_Writ::backUp()
{
    m_backup.clear();
    if (!m_options || !m_options->backUpBeforeWriting || !m_params.driveValues()) return true;
    const std::optional<QString> kept = KeepBackup(this, QStringLiteral("parameters"), QStringLiteral("pxt"),
                                                   EncodeParamFile(*m_params.driveValues()), m_link.port().describe());
    if (kept) {
        m_backup = *kept;
        Q_EMIT backupKept(*kept);
    }
    return kept.has_value();
}

DriveJob *Prm_Writ::importJob()
{
    auto *job = new ReadParametersJob(m_link, this);
    job->setConfirmed(m_options && m_options->readEachBlockTwice);
    // Each block's fields are filled as its reply comes.
    connect(job, &ReadParametersJob::blockRead, this, [this, job](int block) {
        for (int i = 0; i < ParamBlockSize; ++i) {
            const int k = block * ParamBlockSize + i;
            m_params.setText(k, FieldText(job->result().values[k], ParameterModel::isHex(k)));
        }
    });
    connect(job, &DriveJob::progressed, this, [this](int step, int steps) {
        Q_EMIT transferReport(QStringLiteral("Reading parameters: block %1 of %2").arg(step).arg(steps));
    });
    connect(job, &DriveJob::finished, this, [this, job](DriveJob::Ending ending) {
        if (ending == DriveJob::Ending::Done) {
            CmdRW[0]->setEnabled(true);
            CmdRW[1]->setEnabled(true);
            m_params.setDriveValues(job->result().values);
            m_params.setBaseline(job->result().values);
            Q_EMIT transferReport(QStringLiteral("Parameters read: %1").arg(ParamCount));
        } else {
            restoreTransferButtons();
            Q_EMIT transferReport(QStringLiteral("Reading parameters: ") +
                                  DriveJob::endingText(ending, job->errorCode()));
        }
        job->deleteLater();
    });
    return job;
}

DriveJob *Prm_Writ::exportJob()
{
    auto *job = new WriteParametersJob(m_link, this);
    auto sent = std::make_shared<ParamValues>(m_params.values());
    // Each block is built from its fields as they read when it goes out.
    job->blockFields = [this, sent](int block) {
        QList<WriteField> fields;
        for (int i = 0; i < ParamBlockSize; ++i) {
            const int k = block * ParamBlockSize + i;
            fields.append({m_params.text(k), ParameterModel::isHex(k), ParamRange(k)});
            (*sent)[k] = WrittenValue(fields.back());
        }
        return fields;
    };
    // Maker mode decides at each reply: switched on during a write of four
    // blocks, the write goes on to block 5.
    job->lastBlock = [this] { return (m_maker.isOn() ? ParamCount : UserParamCount) / ParamBlockSize - 1; };
    connect(job, &WriteParametersJob::blocksWritten, this, [this] { CmdRW[1]->setEnabled(true); });
    connect(job, &DriveJob::progressed, this, [this](int step, int steps) {
        Q_EMIT transferReport(QStringLiteral("Writing parameters: step %1 of %2").arg(step).arg(steps));
    });
    connect(job, &DriveJob::finished, this, [this, job, sent, backup = m_backup](DriveJob::Ending ending) {
        job->deleteLater();
        if (ending != DriveJob::Ending::Done) {
            restoreTransferButtons();
            tellWriteStopped(QStringLiteral("Writing parameters: ") + DriveJob::endingText(ending, job->errorCode()),
                             job->progress(), backup);
            return;
        }
        const int blocks = job->writtenBlocks();
        ParamValues written = m_params.baseline().value_or(*sent);
        std::copy_n(sent->begin(), blocks * ParamBlockSize, written.begin());
        m_params.setBaseline(written);
        const QString done = QStringLiteral("Written: %1 parameters").arg(blocks * ParamBlockSize);
        if (!m_options || !m_options->verifyAfterWriting) return Q_EMIT transferReport(done);
        DriveJob *verify = verifyJob(*sent, blocks);
        if (verify->start()) return;
        // Another transfer began while FLASH was answered.
        delete verify;
        Q_EMIT transferReport(done + QStringLiteral(", not read back: another transfer runs"));
    });
    return job;
}

DriveJob *Prm_Writ::verifyJob(const ParamValues &sent, int blocks)
{
    // What was written is read back and compared; the fields stay as typed.
    auto *job = new ReadParametersJob(m_link, this);
    job->setConfirmed(m_options && m_options->readEachBlockTwice);
    job->setBlocks(blocks);
    connect(job, &DriveJob::progressed, this, [this](int step, int steps) {
        Q_EMIT transferReport(QStringLiteral("Verifying parameters: block %1 of %2").arg(step).arg(steps));
    });
    connect(job, &DriveJob::finished, this, [this, job, sent, blocks](DriveJob::Ending ending) {
        job->deleteLater();
        const int count = blocks * ParamBlockSize;
        if (ending != DriveJob::Ending::Done) {
            Q_EMIT transferReport(QStringLiteral("Written: %1 parameters; reading them back: ").arg(count) +
                                  DriveJob::endingText(ending, job->errorCode()));
            return;
        }
        ParamValues drive = m_params.driveValues().value_or(sent);
        ParamValues base = m_params.baseline().value_or(sent);
        QStringList differ;
        for (int k = 0; k < count; ++k) {
            drive[k] = base[k] = job->result().values[k];
            if (drive[k] != sent[k])
                differ << QStringLiteral("%1 (sent %2, drive has %3)")
                              .arg(k, 2, 10, QLatin1Char('0'))
                              .arg(FieldText(sent[k], isHexField(k)).trimmed(),
                                   FieldText(drive[k], isHexField(k)).trimmed());
        }
        m_params.setDriveValues(drive);
        m_params.setBaseline(base);  // a field the drive did not take stays marked
        Q_EMIT transferReport(differ.isEmpty()
                                  ? QStringLiteral("Written and verified: %1 parameters").arg(count)
                                  : QStringLiteral("Written, but %1 of %2 parameters differ on the drive: ")
                                            .arg(differ.size())
                                            .arg(count) +
                                        differ.join(QStringLiteral(", ")));
    });
    return job;
}

void Prm_Writ::tellWriteStopped(const QString &what, const WriteProgress &progress, const QString &backup)
{
    if (!progress.halfWritten()) return Q_EMIT transferReport(what);
    const QString holds = HalfWrittenText(progress, QStringLiteral("block"), QDir::toNativeSeparators(backup));
    Q_EMIT transferReport(what + QStringLiteral(". ") + holds);
    if (!m_options || !m_options->backUpBeforeWriting) return;
    OpenHalfWrittenMessage(this, what, holds, backup, WriteSpan(QStringLiteral("block"), progress.total),
                           [this, backup, blocks = progress.total] { writeBackupBack(backup, blocks); });
}

void Prm_Writ::writeBackupBack(const QString &path, int blocks)
{
    const QString where = QDir::toNativeSeparators(path);
    const auto report = [this](const QString &text) { Q_EMIT transferReport(text); };
    std::optional<ParamValues> values;
    QFile file(path);
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly)) values = DecodeParamFile(file.read(ParamFileSize + 1));
    if (!values)
        return TellWriteBackFailed(
            this, QStringLiteral("The backup %1 cannot be read as a parameter file; nothing was written.").arg(where), report);
    auto *job = new WriteParametersJob(m_link, this);
    ParameterSet set;
    set.values = *values;
    set.writeBlocks = blocks;
    job->setSource(set);
    connect(job, &WriteParametersJob::blocksWritten, this, [this] { CmdRW[1]->setEnabled(true); });
    const QString done = QStringLiteral("The backup %1 was written back: %2 parameters, saved in the drive's memory")
                             .arg(where)
                             .arg(blocks * ParamBlockSize);
    if (StartWriteBack(this, job, path, done, report, [this, job, path](const QString &what) {
            restoreTransferButtons();
            tellWriteStopped(what, job->progress(), path);
        }))
        CmdRW[1]->setEnabled(false);
}

void Prm_Writ::markField(int k)
{
    MarkChanged(TxtPrm[k], m_params.changed(k) ? m_params.baselineText(k) : QString());
}

void Prm_Writ::restoreTransferButtons()
{
    CmdRW[0]->setEnabled(true);
    CmdRW[1]->setEnabled((m_link.state().ReadDoneFlags & ReadDone::Parameters) != 0);
}

// --- parameter file ------------------------------------------------------------

void Prm_Writ::CmdFile_Click(int index)
{
    if (index == 0) openFile();
    else saveFile();
    CmdFile[index]->setFocus();
}

void Prm_Writ::openFile()
{
    for (;;) {
        const std::optional<QString> path = DlogFile.ShowOpen();
        if (!path) return;
        QByteArray bytes;
        // A pipe, socket or device is no parameter file and is never opened:
        // opening a pipe waits for a writer.
        const QFileInfo info(*path);
        if (info.isFile() || info.isDir() || !info.exists()) {
            QFile file(*path);
            if (!file.open(QIODevice::ReadOnly)) return;
            // One byte more than a record tells a longer file from a good one.
            bytes = file.read(ParamFileSize + 1);
        }
        const std::optional<ParamValues> values = DecodeParamFile(bytes);
        if (!values) {
            ShowMessage(this, QMessageBox::Critical, QStringLiteral("error"),
                        *path + u'\r' + QStringLiteral("Invalid File"), QStringLiteral("InvalidFileMessage"));
            continue;
        }
        // Shown as they are: a field's check runs when it is next left. A
        // value outside its range would reach the drive changed by that
        // check, so the user hears which.
        m_params.showValues(*values);
        m_params.setBaseline(*values);
        DlogFile.commit();
        if (const QStringList problems = ParamSetProblems(*values, ParamCount); !problems.isEmpty())
            Q_EMIT transferReport(OutOfRangeText(*path, problems));
        return;
    }
}

void Prm_Writ::saveFile()
{
    const std::optional<QString> path = DlogFile.ShowSave();
    if (!path) return;
    const ParamValues values = m_params.values();
    // Written beside the file and put in its place only when complete, so a
    // failed save leaves the old file as it was.
    const SaveResult saved = SaveFileWhole(*path, EncodeParamFile(values));
    if (saved.ok) {
        DlogFile.commit();
        return;
    }
    ShowMessage(this, QMessageBox::Critical, QStringLiteral("error"),
                *path + u'\r' + QStringLiteral("The file could not be written: ") + saved.reason,
                QStringLiteral("SaveFailedMessage"));
}
