// The waveform monitor against the simulated drive: a run arms the drive's
// recorder, the upload fills the progress panel block by block, the drive's
// recording becomes the present series and the former one the previous; a
// saved waveform loads back as the same picture.

#include "e2eharness.h"

#include "common/shape.h"
#include "wave/hmon.h"
#include "wave/picturebox.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

namespace {

constexpr int ManualTrigger = 3;  // the trigger list's "Manual"

// One series of the waveform: speed and torque, and the status bit, per slot.
auto seriesOf(const WaveState &wave, int k) { return std::make_pair(wave.WaveData[k], wave.WaveFlag[k]); }

std::array<QImage, 3> plots(const HMon &w)
{
    return {w.Picture1[0]->picture().copy(), w.Picture1[1]->picture().copy(), w.Picture1[2]->picture().copy()};
}

// The axis moves (servo on and a jog) while the drive records.
void jog(E2eHarness &h, const char *command)
{
    h.withModel([&](sim::DriveModel &m) {
        m.handle("SVON");
        return m.handle(command);
    });
}

// The harness started with the waveform window active and the manual trigger.
bool start(E2eHarness &h)
{
    if (!h.ok() || !h.waitForReply(QStringLiteral("S;"))) return false;
    HMon *w = h.window().hMon;
    w->CmbTrig->setCurrentIndex(ManualTrigger);
    h.activate(w);
    h.mark();
    return h.waitForRequest(QStringLiteral("T;3;F;0"));
}

// Clicks Run and waits for the upload to end; the squares shown after each
// block (while the panel is up) go to squares when given.
bool capture(E2eHarness &h, QList<int> *squares = nullptr)
{
    HMon *w = h.window().hMon;
    const QMetaObject::Connection watch = QObject::connect(&h.link(), &DriveLink::replyDecoded, w, [&h, w, squares] {
        const LinkState &s = h.link().state();
        if (squares && s.CmdName == u"T" && s.ReplyField[0] != 0 && (squares->isEmpty() || squares->last() < 16)) {
            int shown = 0;
            for (const Shape *square : w->ShpPrg) shown += square->isHidden() ? 0 : 1;
            *squares << shown;
        }
    });
    h.mark();
    QTest::mouseClick(w->CmdRun, Qt::LeftButton);
    const bool done = h.waitUntil([&] { return w->PictYomitorichu->isHidden(); }, 8000);
    QObject::disconnect(watch);
    return done;
}

}  // namespace

class TstE2eWave : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void captureUploadSaveAndLoad();
};

void TstE2eWave::captureUploadSaveAndLoad()
{
    E2eHarness h;
    QVERIFY2(start(h), qPrintable(h.error()));
    HMon *w = h.window().hMon;
    WaveState &wave = h.session().wave;

    // First capture: the axis jogs forward, and its speed is in the present
    // series.
    jog(h, "PJOG");
    QVERIFY(capture(h));
    const auto first = seriesOf(wave, 1);
    QVERIFY(first.first[64][0] > 100);

    // Second capture, jogging in reverse: Run arms the drive's recorder with
    // the run bit, the squares advance two a block, and the run bit is off
    // once the upload is done.
    jog(h, "NJOG");
    QList<int> squares;
    QVERIFY(capture(h, &squares));
    QCOMPARE(h.requests().filter(QRegularExpression(QStringLiteral("^T;"))).first(), QStringLiteral("T;83;F;0"));
    QCOMPARE(squares, (QList<int>{2, 4, 6, 8, 10, 12, 14, 16}));
    QVERIFY(h.waitForRequest(QStringLiteral("T;3;F;0")));

    // The new recording is the present series, the former one the previous.
    const auto second = seriesOf(wave, 1);
    QVERIFY(second.first[64][0] < -100);
    QCOMPARE(seriesOf(wave, 2), first);

    // Saved with only the present series drawn, so that the picture is the
    // file's alone.
    QTest::mouseClick(w->ImgWave, Qt::LeftButton);
    const std::array<QImage, 3> picture = plots(*w);
    const QString path = h.workDir() + QStringLiteral("/capture.wvt");
    h.files.alwaysOpen = h.files.alwaysSave = path;  // saved here, and opened again below
    QTest::mouseClick(w->CmdFile[1], Qt::LeftButton);

    // Another waveform comes in.
    jog(h, "PJOG");
    QVERIFY(capture(h));
    QVERIFY(seriesOf(wave, 1) != second);
    for (int c = 0; c < 2; ++c) QVERIFY(plots(*w)[c] != picture[c]);

    // Loading gives back the waveform and the picture it was saved with.
    QTest::mouseClick(w->CmdFile[0], Qt::LeftButton);
    QCOMPARE(seriesOf(wave, 1), second);
    const std::array<QImage, 3> loaded = plots(*w);
    for (int c = 0; c < 3; ++c) QVERIFY2(loaded[c] == picture[c], qPrintable(QStringLiteral("plot %1").arg(c)));
}

QTEST_MAIN(TstE2eWave)
#include "tst_e2e_wave.moc"
