#include "comparewindow.h"

#include "common/dlogfile.h"
#include "common/messagelines.h"
#include "drive/csvfiles.h"
#include "drive/params/paramfile.h"
#include "drive/params/parameterjobs.h"
#include "drive/points/pointfile.h"
#include "drive/points/pointjobs.h"
#include "drive/link/drivelink.h"
#include "drive/session.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <functional>

namespace {

const QStringList Headers{QStringLiteral("No."), QStringLiteral("Name"), QStringLiteral("Left"),
                          QStringLiteral("Right"), QStringLiteral("Range")};

}  // namespace

CompareWindow::CompareWindow(Kind kind, Session &session, FileChooser &files, QWidget *parent)
    : QDialog(parent), m_kind(kind), m_session(session), m_files(files)
{
    const bool params = kind == Kind::Parameters;
    setObjectName(params ? QStringLiteral("CompareParameters") : QStringLiteral("ComparePoints"));
    setWindowTitle(params ? QStringLiteral("Compare Parameters") : QStringLiteral("Compare Point Tables"));
    auto *sides = new QGridLayout;
    const QString sideCaptions[2] = {QStringLiteral("&Left:"), QStringLiteral("&Right:")};
    for (int i = 0; i < 2; ++i) {
        auto *caption = new QLabel(sideCaptions[i], this);
        CmbSide[i] = new QComboBox(this);
        CmbSide[i]->setObjectName(QStringLiteral("CmbSide(%1)").arg(i));
        CmbSide[i]->addItems({QStringLiteral("This window"), QStringLiteral("The drive"), QStringLiteral("A file...")});
        CmbSide[i]->setAccessibleName(i == 0 ? QStringLiteral("Left side") : QStringLiteral("Right side"));
        caption->setBuddy(CmbSide[i]);
        LblFile[i] = new QLabel(this);
        LblFile[i]->setObjectName(QStringLiteral("LblFile(%1)").arg(i));
        LblFile[i]->setAccessibleDescription(CmbSide[i]->accessibleName() + QStringLiteral(" file"));
        sides->addWidget(caption, i, 0);
        sides->addWidget(CmbSide[i], i, 1);
        sides->addWidget(LblFile[i], i, 2);
        connect(CmbSide[i], &QComboBox::activated, this, [this, i](int index) {
            if (index != int(Source::File)) return setSide(i, Source(index));
            DlogFile dialog(this, m_files,
                            m_kind == Kind::Parameters ? QStringLiteral("Parameter files(*.pxt *.csv)|*.pxt *.csv")
                                                       : QStringLiteral("Point table files(*.ptt *.csv)|*.ptt *.csv"),
                            QString());
            const QString path = dialog.ShowOpen().value_or(QString());
            if (path.isEmpty())
                setSide(i, Source::Window);
            else
                setSide(i, Source::File, path);
        });
    }
    CmbSide[1]->setCurrentIndex(int(Source::Drive));
    sides->setColumnStretch(2, 1);

    CmdCompare = new QPushButton(QStringLiteral("&Compare"), this);
    CmdCompare->setObjectName(QStringLiteral("CmdCompare"));
    // Enter anywhere but on another button compares.
    CmdCompare->setDefault(true);
    connect(CmdCompare, &QPushButton::clicked, this, &CompareWindow::compare);
    LblSummary = new QLabel(this);
    LblSummary->setObjectName(QStringLiteral("LblSummary"));
    LblSummary->setAccessibleDescription(QStringLiteral("Comparison result"));
    LblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ChkShowAll = new QCheckBox(QStringLiteral("Show &all entries"), this);
    ChkShowAll->setObjectName(QStringLiteral("ChkShowAll"));
    connect(ChkShowAll, &QCheckBox::toggled, this, &CompareWindow::fill);

    TblRows = new QTableWidget(0, Headers.size(), this);
    TblRows->setObjectName(QStringLiteral("TblRows"));
    TblRows->setAccessibleName(QStringLiteral("Compared entries"));
    TblRows->setHorizontalHeaderLabels(Headers);
    TblRows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TblRows->verticalHeader()->hide();
    TblRows->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    TblRows->setMinimumSize(560, 300);
    // The arrow keys move in the table; Tab leaves it.
    TblRows->setTabKeyNavigation(false);

    CmdCopy = new QPushButton(QStringLiteral("C&opy"), this);
    CmdCopy->setObjectName(QStringLiteral("CmdCopy"));
    connect(CmdCopy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(tableText()); });
    CmdSave = new QPushButton(QStringLiteral("&Save as CSV..."), this);
    CmdSave->setObjectName(QStringLiteral("CmdSave"));
    connect(CmdSave, &QPushButton::clicked, this, [this] {
        DlogFile dialog(this, m_files, QStringLiteral("CSV files(*.csv)|*.csv"), QStringLiteral("csv"));
        const QString path = dialog.ShowSave().value_or(QString());
        if (path.isEmpty()) return;
        QList<QStringList> rows{Headers};
        for (const QString &line : tableText().split(u'\n').mid(1)) rows << line.split(u'\t');
        QString error;
        if (!WriteCsvFile(path, CsvText(rows), &error)) QMessageBox::critical(this, windowTitle(), error);
    });
    auto *close = new QPushButton(QStringLiteral("Clos&e"), this);
    close->setObjectName(QStringLiteral("CmdClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto *top = new QHBoxLayout;
    top->addWidget(CmdCompare);
    top->addWidget(ChkShowAll);
    top->addStretch(1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(CmdCopy);
    bottom->addWidget(CmdSave);
    bottom->addStretch(1);
    bottom->addWidget(close);
    auto *column = new QVBoxLayout(this);
    column->addLayout(sides);
    column->addLayout(top);
    column->addWidget(LblSummary);
    column->addWidget(TblRows, 1);
    column->addLayout(bottom);

    // Tab goes in reading order; the window opens on the left side's list.
    QWidget *order[] = {CmbSide[0], CmbSide[1], CmdCompare, ChkShowAll, TblRows, CmdCopy, CmdSave, close};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    CmbSide[0]->setFocus();
}

void CompareWindow::setSide(int side, Source source, const QString &path)
{
    CmbSide[side]->setCurrentIndex(int(source));
    m_path[side] = source == Source::File ? path : QString();
    LblFile[side]->setText(source == Source::File ? QFileInfo(path).fileName() : QString());
    LblFile[side]->setToolTip(m_path[side]);
}

QString CompareWindow::sideName(int side) const
{
    return CmbSide[side]->currentIndex() == int(Source::File) ? QFileInfo(m_path[side]).fileName()
                                                              : CmbSide[side]->currentText();
}

void CompareWindow::compare()
{
    if (m_reading) return;
    const bool drive =
        CmbSide[0]->currentIndex() == int(Source::Drive) || CmbSide[1]->currentIndex() == int(Source::Drive);
    const auto done = [this](const QList<qint32> *driveValues) {
        std::array<QList<qint32>, 2> values;
        for (int i = 0; i < 2; ++i) {
            const std::optional<QList<qint32>> v = sideValues(i, driveValues);
            if (!v) return;
            values[i] = *v;
        }
        finish(values);
    };
    if (!drive) return done(nullptr);
    DriveLink &link = m_session.link;
    if (!link.transferOwner().isEmpty()) {
        LblSummary->setText(
            QStringLiteral("A transfer with the drive is running; compare again when it has finished."));
        return;
    }
    // The drive is read now, as "Import Data" reads it, without filling the windows.
    DriveJob *job = nullptr;
    const auto progress = [this](int step, int steps) {
        LblSummary->setText(QStringLiteral("Reading the drive: %1 of %2").arg(step).arg(steps));
        Q_EMIT report(LblSummary->text());
    };
    // The job's values once it is done: sixty parameters or 128 table entries.
    std::function<QList<qint32>()> values;
    if (m_kind == Kind::Parameters) {
        auto *read = new ReadParametersJob(link, this);
        read->countsAsRead = false;
        read->setConfirmed(m_session.options().readEachBlockTwice);
        values = [read] { return QList<qint32>(read->result().values.begin(), read->result().values.end()); };
        job = read;
    } else {
        auto *read = new ReadPointTableJob(link, this);
        read->countsAsRead = false;
        read->setConfirmed(m_session.options().readEachBlockTwice);
        values = [read] { return QList<qint32>(read->result().begin(), read->result().end()); };
        job = read;
    }
    connect(job, &DriveJob::finished, this, [this, job, values, done](DriveJob::Ending ending) {
        m_reading = false;
        job->deleteLater();
        if (ending != DriveJob::Ending::Done)
            return LblSummary->setText(QStringLiteral("Reading the drive: ") +
                                       DriveJob::endingText(ending, job->errorCode()));
        const QList<qint32> read = values();
        done(&read);
    });
    connect(job, &DriveJob::progressed, this, progress);
    m_reading = job->start();
    if (!m_reading)
        delete job;
    else
        LblSummary->setText(QStringLiteral("Reading the drive..."));
}

std::optional<QList<qint32>> CompareWindow::sideValues(int side, const QList<qint32> *drive)
{
    const bool params = m_kind == Kind::Parameters;
    switch (Source(CmbSide[side]->currentIndex())) {
        case Source::Drive:
            return *drive;
        case Source::Window:
            if (params) {
                const ParamValues v = m_session.parameters.values();
                return QList<qint32>(v.begin(), v.end());
            } else {
                const PointTable t = m_session.points.textValues();
                return QList<qint32>(t.begin(), t.end());
            }
        case Source::File:
            break;
    }
    const QString &path = m_path[side];
    QString error;
    const std::optional<QByteArray> bytes = ReadCsvFile(path, &error);  // a pipe or device is never opened
    std::optional<QList<qint32>> values;
    if (bytes && path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
        if (params) {
            const CsvImport<ParameterSet> read = ReadParametersCsv(*bytes, ParameterSet{}, true);
            if (read.ok()) values = QList<qint32>(read.values.values.begin(), read.values.values.end());
            error = read.error;
        } else {
            const CsvImport<PointTable> read = ReadPointsCsv(*bytes, PointTable{});
            if (read.ok()) values = QList<qint32>(read.values.begin(), read.values.end());
            error = read.error;
        }
    } else if (bytes) {
        if (params) {
            if (const std::optional<ParamValues> v = DecodeParamFile(*bytes))
                values = QList<qint32>(v->begin(), v->end());
        } else if (const std::optional<PointData> t = DecodePointFile(*bytes)) {
            values = QList<qint32>(t->begin(), t->end());
        }
        if (!values) error = QStringLiteral("Invalid File");
    }
    if (!values) LblSummary->setText(MessageLines(path + QStringLiteral(": ") + error).replace(u'\n', u' '));
    return values;
}

void CompareWindow::finish(const std::array<QList<qint32>, 2> &values)
{
    if (m_kind == Kind::Parameters) {
        ParamValues a{}, b{};
        std::copy_n(values[0].begin(), std::min<qsizetype>(values[0].size(), ParamCount), a.begin());
        std::copy_n(values[1].begin(), std::min<qsizetype>(values[1].size(), ParamCount), b.begin());
        // The maker's parameters appear only in maker mode.
        m_rows = CompareParameters(a, b, m_session.maker.isOn() ? ParamCount : UserParamCount);
    } else {
        PointTable a{}, b{};
        std::copy_n(values[0].begin(), std::min<qsizetype>(values[0].size(), a.size()), a.begin());
        std::copy_n(values[1].begin(), std::min<qsizetype>(values[1].size(), b.size()), b.begin());
        m_rows = ComparePoints(a, b);
    }
    const QString summary = CompareSummary(
        m_rows, m_kind == Kind::Parameters ? QStringLiteral("parameters") : QStringLiteral("point table values"));
    LblSummary->setText(QStringLiteral("%1 (left: %2, right: %3)").arg(summary, sideName(0), sideName(1)));
    Q_EMIT report(summary);
    fill();
}

void CompareWindow::fill()
{
    TblRows->setHorizontalHeaderLabels({Headers[0], Headers[1], sideName(0), sideName(1), Headers[4]});
    TblRows->setRowCount(0);
    for (const CompareRow &r : m_rows) {
        if (!r.differs && !ChkShowAll->isChecked()) continue;
        const int row = TblRows->rowCount();
        TblRows->insertRow(row);
        const QString cells[5] = {r.number, r.name, r.left, r.right, r.range};
        for (int c = 0; c < 5; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (r.differs && (c == 2 || c == 3)) item->setBackground(QColor(255, 214, 140));
            TblRows->setItem(row, c, item);
        }
    }
    TblRows->resizeColumnsToContents();
}

QString CompareWindow::tableText() const
{
    QStringList lines{QStringList{Headers[0], Headers[1], sideName(0), sideName(1), Headers[4]}.join(u'\t')};
    for (int row = 0; row < TblRows->rowCount(); ++row) {
        QStringList cells;
        for (int c = 0; c < TblRows->columnCount(); ++c) cells << TblRows->item(row, c)->text();
        lines << cells.join(u'\t');
    }
    return lines.join(u'\n');
}
