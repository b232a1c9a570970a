// The waveform monitor against the simulated drive: a run arms the drive's
// recorder, the upload fills the progress panel block by block, the drive's
// recording becomes the present series and the former one the previous; a
// saved waveform loads back as the same picture.

#include "e2eharness.h"

#include "app/shape.h"
#include "wave/hmon.h"
#include "wave/picturebox.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

constexpr int ManualTrigger = 3;  // the trigger list's "Manual"

// One series of the waveform: speed and torque, and the status bit, per slot.
struct Series {
    std::array<std::array<qint16, 2>, WaveSamples> data{};
    std::array<qint16, WaveSamples> flag{};
    bool operator==(const Series &) const = default;
};

Series seriesOf(const WaveState &wave, int k)
{
    Series s;
    for (int i = 0; i < WaveSamples; ++i) {
        s.data[i] = wave.WaveData[k][i];
        s.flag[i] = wave.WaveFlag[k][i];
    }
    return s;
}

// What went out on the line, read independently of the window: a field of
// four digits or fewer is a 16-bit two's complement number.
qint32 wireValue(const QString &field)
{
    const quint32 v = field.toUInt(nullptr, 16);
    return field.size() <= 4 ? static_cast<qint16>(static_cast<quint16>(v)) : static_cast<qint32>(v);
}

// The recording the drive sent in its "T" replies (after the mark): blocks
// 1..8, each sixteen pairs of torque (with the status bit 10000 away from
// zero) and speed. Nothing unless all eight went out.
std::optional<Series> sentRecording(E2eHarness &h)
{
    Series s;
    int blocks = 0;
    for (const QString &reply : h.replies()) {
        const QStringList f = reply.split(u';');
        if (f.size() != 34 || f[0] != u"T") continue;
        const int block = wireValue(f[1]);
        if (block < 1 || block > 8) return std::nullopt;
        for (int j = 0; j < 16; ++j) {
            const int slot = (block - 1) * 16 + j;
            qint32 torque = wireValue(f[2 + 2 * j]);
            const bool status = torque > 9999 || torque < -9999;
            if (status) torque += torque > 0 ? -10000 : 10000;
            s.data[slot] = {static_cast<qint16>(wireValue(f[3 + 2 * j])), static_cast<qint16>(torque)};
            s.flag[slot] = status ? 1 : 0;
        }
        ++blocks;
    }
    if (blocks != 8) return std::nullopt;
    return s;
}

// The code field of the "T" requests after the mark, in order.
QList<int> requestCodes(E2eHarness &h)
{
    QList<int> codes;
    for (const QString &r : h.requests())
        if (r.startsWith(u"T;")) codes << r.section(u';', 1, 1).toInt(nullptr, 16);
    return codes;
}

// How the progress panel stood right after Run (block -1) and after each
// decoded "T" reply.
struct Progress {
    int block;
    int squares;
    bool panelShown;
    bool setupEnabled;
    QString eng;
    QString jap;
};

int shownSquares(const HMon &w)
{
    int n = 0;
    for (const Shape *s : w.ShpPrg) n += s->isHidden() ? 0 : 1;
    return n;
}

std::array<QImage, 3> plots(const HMon &w)
{
    return {w.Picture1[0]->picture().copy(), w.Picture1[1]->picture().copy(), w.Picture1[2]->picture().copy()};
}

void jog(E2eHarness &h, const char *command)
{
    h.withModel([&](sim::DriveModel &m) {
        m.handle("SVON");
        return m.handle(command);
    });
}

}  // namespace

class TstE2eWave : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void runCapturesAndUploads();
    void savedWaveformLoadsAsTheSamePicture();

private:
    // Starts the harness with the waveform window active and the manual trigger.
    static bool start(E2eHarness &h);
    // Clicks Run and waits for the upload to end; the progress seen on the way
    // goes to progress when given.
    static bool capture(E2eHarness &h, std::vector<Progress> *progress = nullptr);
};

bool TstE2eWave::start(E2eHarness &h)
{
    if (!h.ok() || !h.waitForReply(QStringLiteral("S;"))) return false;
    HMon *w = h.window().hMon;
    w->CmbTrig->setCurrentIndex(ManualTrigger);
    h.activate(w);
    h.mark();
    return h.waitForRequest(QStringLiteral("T;3;F;0"));
}

bool TstE2eWave::capture(E2eHarness &h, std::vector<Progress> *progress)
{
    HMon *w = h.window().hMon;
    auto note = [w, progress](int block) {
        if (progress)
            progress->push_back({block, shownSquares(*w), !w->PictYomitorichu->isHidden(), w->PictEnable->isEnabled(),
                                 w->LblEng->text(), w->LblJap->text()});
    };
    const QMetaObject::Connection watch = QObject::connect(&h.link(), &DriveLink::replyDecoded, w, [&h, note] {
        if (h.link().state().CmdName == u"T") note(h.link().state().ReplyField[0]);
    });
    h.mark();
    QTest::mouseClick(w->CmdRun, Qt::LeftButton);
    note(-1);
    const bool done = h.waitUntil([&] { return w->PictYomitorichu->isHidden(); }, 8000);
    QObject::disconnect(watch);
    return done;
}

void TstE2eWave::runCapturesAndUploads()
{
    E2eHarness h;
    QVERIFY2(start(h), qPrintable(h.error()));
    HMon *w = h.window().hMon;
    WaveState &wave = h.window().wave;

    // First capture: the axis jogs forward.
    jog(h, "PJOG");
    QVERIFY(capture(h));
    const std::optional<Series> first = sentRecording(h);
    QVERIFY(first);
    QCOMPARE(seriesOf(wave, 1), *first);

    // Second capture, jogging in reverse; the progress is watched as it goes.
    jog(h, "NJOG");
    std::vector<Progress> progress;
    QVERIFY(capture(h, &progress));
    QVERIFY(w->PictEnable->isEnabled());

    // The first request after Run carries the run bit; after the upload it is off.
    const QList<int> codes = requestCodes(h);
    QVERIFY(!codes.isEmpty());
    QCOMPARE(codes.first(), 0x80 + ManualTrigger);
    QVERIFY(h.waitUntil([&] { return requestCodes(h).last() == ManualTrigger; }));

    // Run shows the empty panel over the disabled set-up. Until the trigger
    // the drive sends block 0; then blocks 1..8, two squares each.
    QVERIFY(!progress.empty());
    const Progress &run = progress.front();
    QCOMPARE(run.block, -1);
    QCOMPARE(run.squares, 0);
    QVERIFY(run.panelShown);
    QVERIFY(!run.setupEnabled);
    QCOMPARE(run.eng, QString());
    QCOMPARE(run.jap, QStringLiteral("Now measureing"));
    std::vector<Progress> blocks;
    for (const Progress &p : progress) {
        if (p.block == -1) continue;
        if (p.block == 0) {
            QVERIFY(blocks.empty());
            QCOMPARE(p.squares, 0);
            QVERIFY(p.panelShown);
            QCOMPARE(p.jap, QStringLiteral("Now measureing"));
        } else {
            blocks.push_back(p);
        }
    }
    QCOMPARE(int(blocks.size()), 8);
    for (int b = 1; b <= 8; ++b) {
        const Progress &p = blocks[b - 1];
        QCOMPARE(p.block, b);
        QCOMPARE(p.squares, 2 * b);
        QCOMPARE(p.panelShown, b < 8);
        QCOMPARE(p.setupEnabled, b == 8);
        QCOMPARE(p.eng, QStringLiteral("Triggered"));
        QCOMPARE(p.jap, QStringLiteral("Uploading data........."));
    }

    // The new recording is the present series, the former one the previous.
    const std::optional<Series> second = sentRecording(h);
    QVERIFY(second);
    QCOMPARE(seriesOf(wave, 1), *second);
    QCOMPARE(seriesOf(wave, 2), *first);
    // Forward, then reverse: the two recordings are not alike.
    QVERIFY(first->data[64][0] > 100);
    QVERIFY(second->data[64][0] < -100);
}

void TstE2eWave::savedWaveformLoadsAsTheSamePicture()
{
    E2eHarness h;
    QVERIFY2(start(h), qPrintable(h.error()));
    HMon *w = h.window().hMon;
    WaveState &wave = h.window().wave;
    // Only the present series is drawn, so that the picture is the file's alone.
    QTest::mouseClick(w->ImgWave, Qt::LeftButton);
    QCOMPARE(w->CmbWave->currentIndex(), 1);
    const std::array<QImage, 3> empty = plots(*w);

    jog(h, "PJOG");
    QVERIFY(capture(h));
    const Series saved = seriesOf(wave, 1);
    const std::array<QImage, 3> picture = plots(*w);
    QVERIFY(picture[0] != empty[0]);
    QVERIFY(picture[1] != empty[1]);

    const QString path = h.workDir() + QStringLiteral("/capture.wvt");
    w->DlogFile.chooser = [path](bool) { return std::optional<QString>(path); };
    QTest::mouseClick(w->CmdFile[1], Qt::LeftButton);
    QCOMPARE(QFileInfo(path).size(), 808);

    // The view changes and another waveform comes in.
    QTest::mouseClick(w->LblTumamiIchi[2], Qt::LeftButton);  // speed scale 500 rpm
    QCOMPARE(wave.DialPos[0], qint16(2));
    QTest::keyClick(w->Picture1[1], Qt::Key_Up);  // torque zero line one step up
    QTest::keyClick(w->TxtDummy1, Qt::Key_Right);  // trigger one step later
    jog(h, "NJOG");
    QVERIFY(capture(h));
    const Series other = seriesOf(wave, 1);
    QVERIFY(other != saved);
    for (int c = 0; c < 2; ++c) QVERIFY(plots(*w)[c] != picture[c]);

    // Loading gives back the waveform and the view it was saved with.
    QTest::mouseClick(w->CmdFile[0], Qt::LeftButton);
    QCOMPARE(seriesOf(wave, 1), saved);
    QCOMPARE(seriesOf(wave, 2), other);
    QCOMPARE(wave.DialPos[0], qint16(0));
    QCOMPARE(wave.ZeroPos[1], qint16(0));
    QCOMPARE(wave.TrigPos, qint16(15));
    QCOMPARE(w->CmbTrig->currentIndex(), ManualTrigger);
    const std::array<QImage, 3> loaded = plots(*w);
    for (int c = 0; c < 3; ++c) QVERIFY2(loaded[c] == picture[c], qPrintable(QStringLiteral("plot %1").arg(c)));
    // With both series shown the reverse run is drawn behind the loaded one.
    QTest::mouseClick(w->ImgWave, Qt::LeftButton);
    QVERIFY(plots(*w)[0] != picture[0]);
}

QTEST_MAIN(TstE2eWave)
#include "tst_e2e_wave.moc"
