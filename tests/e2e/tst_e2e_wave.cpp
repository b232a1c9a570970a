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
    void runCapturesAndUploads();
    void savedWaveformLoadsAsTheSamePicture();
};

void TstE2eWave::runCapturesAndUploads()
{
    E2eHarness h;
    QVERIFY2(start(h), qPrintable(h.error()));
    WaveState &wave = h.window().wave;

    // First capture: the axis jogs forward.
    jog(h, "PJOG");
    QVERIFY(capture(h));
    const std::optional<Series> first = sentRecording(h);
    QVERIFY(first);
    QCOMPARE(seriesOf(wave, 1), *first);

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
    const std::array<QImage, 3> empty = plots(*w);

    jog(h, "PJOG");
    QVERIFY(capture(h));
    const Series saved = seriesOf(wave, 1);
    const std::array<QImage, 3> picture = plots(*w);
    QVERIFY(picture[0] != empty[0] && picture[1] != empty[1]);

    const QString path = h.workDir() + QStringLiteral("/capture.wvt");
    w->DlogFile.chooser = [path](bool) { return std::optional<QString>(path); };
    QTest::mouseClick(w->CmdFile[1], Qt::LeftButton);
    QCOMPARE(QFileInfo(path).size(), 808);

    // The view changes and another waveform comes in.
    QTest::mouseClick(w->LblTumamiIchi[2], Qt::LeftButton);  // speed scale 500 rpm
    QTest::keyClick(w->Picture1[1], Qt::Key_Up);              // torque zero line one step up
    QTest::keyClick(w->TxtDummy1, Qt::Key_Right);             // trigger one step later
    jog(h, "NJOG");
    QVERIFY(capture(h));
    const Series other = seriesOf(wave, 1);
    QVERIFY(other != saved);
    for (int c = 0; c < 2; ++c) QVERIFY(plots(*w)[c] != picture[c]);

    // Loading gives back the waveform and the view it was saved with.
    QTest::mouseClick(w->CmdFile[0], Qt::LeftButton);
    QCOMPARE(seriesOf(wave, 1), saved);
    QCOMPARE(seriesOf(wave, 2), other);
    QCOMPARE(w->CmbTrig->currentIndex(), ManualTrigger);
    const std::array<QImage, 3> loaded = plots(*w);
    for (int c = 0; c < 3; ++c) QVERIFY2(loaded[c] == picture[c], qPrintable(QStringLiteral("plot %1").arg(c)));
    // With both series shown the reverse run is drawn behind the loaded one.
    QTest::mouseClick(w->ImgWave, Qt::LeftButton);
    QVERIFY(plots(*w)[0] != picture[0]);
}

QTEST_MAIN(TstE2eWave)
#include "tst_e2e_wave.moc"
