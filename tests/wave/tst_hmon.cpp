// The waveform window driven as a user and a drive would: the set-up lists,
// Run and Cancel, the upload through the link, the dials and markers by mouse
// and keyboard, and the waveform file.

#include "app/mditbl.h"
#include "app/shape.h"
#include "app/twips.h"
#include "link/titlebar.h"
#include "linktestutil.h"
#include "params/prm_writ.h"
#include "uitestutil.h"
#include "wave/hmon.h"
#include "wave/picturebox.h"
#include "wave/wavegeometry.h"
#include "wave/waveplot.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The window on an in-memory port, the active window of the poll, in a fresh
// current directory.
struct WaveRig {
    QTemporaryDir dir;
    PortSettings settings;
    MemoryPort port;
    DriveLink link{settings, port};
    WaveState wave;
    QString motorType = QStringLiteral("0");
    std::unique_ptr<HMon> w;

    WaveRig()
    {
        QDir::setCurrent(dir.path());
        link.setActiveTagSource([] { return QStringLiteral("3"); });
        w = std::make_unique<HMon>(link, wave, [this] { return motorType; });
        wave.TrigPos = 15;
        w->show();
        QApplication::setActiveWindow(w.get());
        if (!QTest::qWaitForWindowActive(w.get())) qWarning("window not active");
    }
    // Opens the port and answers "S" until the window's "T" request goes out.
    QString pollT()
    {
        if (!port.isOpen()) link.OpenPort();
        for (int i = 0; i < 3; ++i) {
            const QString last = requests(port).last();
            if (last.startsWith(QLatin1Char('T'))) {
                reply(port, "S;0");  // the next request is "S" again
                return last;
            }
            reply(port, "S;0");
        }
        return {};
    }
    QImage plot(int c) const { return w->Picture1[c]->picture(); }
    template <typename T> T *find(const QString &name) const { return w->findChild<T *>(name); }
    QList<int> visibleSquares() const
    {
        QList<int> out;
        for (int i = 0; i < 16; ++i)
            if (!w->ShpPrg[i]->isHidden()) out << i;
        return out;
    }
};

// A block of the given number whose samples carry speed base + slot and
// torque -(base + slot), the status bit set on odd slots.
QByteArray block(int b, int base)
{
    QByteArray t = "T;" + QByteArray::number(b);
    for (int j = 0; j < 16; ++j) {
        const int slot = (b - 1) * 16 + j;
        const int torque = -(base + slot);
        const int field = slot % 2 ? torque - 10000 : torque;
        t += ';' + QByteArray::number(quint16(field), 16).toUpper();
        t += ';' + QByteArray::number(quint16(base + slot), 16).toUpper();
    }
    return t;
}

void send(WaveRig &r, const QByteArray &text) { reply(r.port, text.constData()); }

void mouse(QWidget *w, QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
void press(QWidget *w, QPointF pos, Qt::MouseButton b = Qt::LeftButton)
{
    mouse(w, QEvent::MouseButtonPress, pos, b, b);
}
void drag(QWidget *w, QPointF pos) { mouse(w, QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton); }
void release(QWidget *w, QPointF pos, Qt::MouseButton b = Qt::LeftButton)
{
    mouse(w, QEvent::MouseButtonRelease, pos, b, Qt::NoButton);
}
void click(QWidget *w, QPointF pos = {2, 2})
{
    press(w, pos);
    release(w, pos);
}

QList<int> rowsIn(const QImage &img, int x, QRgb colour)
{
    QList<int> rows;
    for (int y = 0; y < img.height(); ++y)
        if ((img.pixel(x, y) | 0xFF000000u) == colour) rows << y;
    return rows;
}

QByteArray fileEntry(qint16 v) { return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF); }

}  // namespace

class TstHMon : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startUp();
    void request_data();
    void request();
    void runAndCancel();
    void uploadInOrder();
    void block8Alone();
    void cancelAfterBlock5();
    void replyWithoutDataChangesNothing();
    void malformedBlockChangesNothing();
    void imagesStepTheirLists();
    void dialKeyboard_data();
    void dialKeyboard();
    void dialCaptionClick();
    void dialDrag_data();
    void dialDrag();
    void focusColours();
    void zeroStripClick_data();
    void zeroStripClick();
    void zeroKeyboardAndDrag();
    void trigStripClick_data();
    void trigStripClick();
    void trigKeyboard();
    void trigDragTo1880();
    void torqueReadsMotorType();
    void saveAfterStart();
    void saveOverLongerFile();
    void loadTwice();
    void loadHeldToRanges_data();
    void loadHeldToRanges();
    void invalidFile_data();
    void invalidFile();
    void missingFileEndsSilently();
};

void TstHMon::startUp()
{
    WaveRig r;
    HMon &w = *r.w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Graphical Monitor"));
    QCOMPARE(w.tag(), QStringLiteral("3"));
    QStringList items;
    for (int i = 0; i < w.CmbStatus->count(); ++i) items << w.CmbStatus->itemText(i);
    QCOMPARE(items, (QStringList{"Brake", "Trq.Lmt.", "Spd.Lmt.", "Exes.Devi.", "InPos"}));
    for (QComboBox *c : {w.CmbTrig, w.CmbStatus, w.CmbEdje, w.CmbWave}) QCOMPARE(c->currentIndex(), 0);
    QCOMPARE(w.CmbEdje->itemText(3), QStringLiteral("Reverse Down"));
    QCOMPARE(w.CmbWave->itemText(0), QStringLiteral("Previous+Present"));
    QCOMPARE(w.Frame1->title(), QStringLiteral("Trigger Menu"));
    QCOMPARE(w.edgePicture(), 110);
    QCOMPARE(w.wavePicture(), 120);
    QVERIFY(w.PictYomitorichu->isHidden());
    QCOMPARE(w.PictYomitorichu->picture().size(), QSize(311, 166));
    QCOMPARE(w.PictYomitorichu->geometry(), QRect(120, 128, 311, 166));
    QVERIFY(w.PictEnable->isEnabled());
    QVERIFY(r.port.written.isEmpty());  // loading sends nothing

    // Plots at their places, drawn: flat lines at the zero line.
    QCOMPARE(w.Picture1[0]->geometry(), QRect(8, 24, 249, 149));
    QCOMPARE(w.Picture1[1]->geometry(), QRect(8, 184, 249, 149));
    QCOMPARE(w.Picture1[2]->geometry(), QRect(8, 344, 249, 50));
    QCOMPARE(rowsIn(r.plot(0), 100, PresentColour), QList<int>{75});
    QCOMPARE(rowsIn(r.plot(1), 100, PreviousColour), QList<int>{76});
    QCOMPARE(rowsIn(r.plot(2), 100, PresentColour), QList<int>{40});

    // Markers and knobs where the layout puts them.
    QCOMPARE(w.zeroMarkerTop(0), 1350.0);
    QCOMPARE(w.zeroMarkerTop(1), 3750.0);
    QCOMPARE(w.LblZero[1]->geometry(), QRect(256, 250, 17, 17));
    QCOMPARE(w.trigMarkerLeft(), 1875.0);
    QCOMPARE(w.LblTrgView->geometry(), QRect(125, 8, 17, 17));
    for (int d = 0; d < 3; ++d) {
        QCOMPARE(w.knobLeft(d), 420.0);
        QCOMPARE(w.knobTop(d), 390.0);
        QCOMPARE(w.LblDial[d]->geometry(), QRect(28, 26, 9, 9));
        QCOMPARE(w.LblLocate[d]->geometry(), QRect(4, 24, 41, 41));
    }
    QCOMPARE(w.LblTumamiIchi[8]->text(), QStringLiteral("0.05"));
    QCOMPARE(w.LblTumamiTitle[2]->text(), QStringLiteral("Horizontal"));
    QCOMPARE(w.LblTani[1]->text(), QStringLiteral("%"));

    // Names as written, accessible names on what a user works.
    for (const char *name : {"ShpPrg(15)", "LblTumamiIchi(11)", "PicDial(2)", "LblCursor2(1)", "CmdFile(1)",
                             "Picture1(2)", "LblTrgView", "TxtDummy1", "CmdCancel", "LblJap"})
        QVERIFY2(r.find<QWidget>(QString::fromLatin1(name)), name);
    QCOMPARE(w.CmbEdje->accessibleName(), QStringLiteral("Trigger Timing"));
    QCOMPARE(w.CmdFile[0]->accessibleName(), QStringLiteral("Open File"));
    QCOMPARE(w.PicDial[0]->accessibleName(), QStringLiteral("Vertical(Spd)"));
}

void TstHMon::request_data()
{
    QTest::addColumn<bool>("run");
    QTest::addColumn<bool>("allSet");
    QTest::addColumn<QString>("text");
    QTest::newRow("idle") << false << false << "T;0;F;0";
    QTest::newRow("running") << true << false << "T;80;F;0";
    QTest::newRow("every choice") << true << true << "T;EA;1E;4";
}

void TstHMon::request()
{
    QFETCH(bool, run);
    QFETCH(bool, allSet);
    QFETCH(QString, text);
    WaveRig r;
    HMon &w = *r.w;
    if (allSet) {
        // Set the way a user does: lists, the caption "0.5" and the keyboard.
        w.CmbEdje->setCurrentIndex(1);
        w.CmbTrig->setCurrentIndex(2);
        w.CmbStatus->setCurrentIndex(4);
        click(w.LblTumamiIchi[11]);
        w.TxtDummy1->setFocus();
        for (int i = 0; i < 20; ++i) QTest::keyClick(w.TxtDummy1, Qt::Key_Right);
    }
    if (run) w.CmdRun->click();
    QCOMPARE(r.pollT(), text);
    // Cancel takes the run bit off the next request.
    if (run) {
        w.CmdCancel->click();
        QVERIFY(!r.pollT().contains(QStringLiteral(";8")));
    }
}

void TstHMon::runAndCancel()
{
    WaveRig r;
    HMon &w = *r.w;
    w.ShpPrg[3]->show();
    w.LblEng->setText(QStringLiteral("old"));
    w.CmdRun->click();
    QCOMPARE(r.wave.CaptureRun, qint16(1));
    QCOMPARE(w.LblJap->text(), QStringLiteral("Now measureing"));
    QCOMPARE(w.LblEng->text(), QString());
    QCOMPARE(r.visibleSquares(), QList<int>{});
    QVERIFY(w.PictYomitorichu->isVisible());
    QCOMPARE(QApplication::focusWidget(), w.CmdCancel);
    QVERIFY(!w.PictEnable->isEnabled());
    QVERIFY(!w.CmdRun->isEnabled());  // a second Run is impossible
    QVERIFY(!w.CmdFile[1]->isEnabled());
    QVERIFY(r.port.written.isEmpty());  // Run sends nothing itself

    w.CmdCancel->click();
    QCOMPARE(r.wave.CaptureRun, qint16(0));
    QVERIFY(w.PictYomitorichu->isHidden());
    QVERIFY(w.PictEnable->isEnabled());
}

void TstHMon::uploadInOrder()
{
    WaveRig r;
    HMon &w = *r.w;
    // A first capture, then a second: the first becomes the previous series.
    for (int capture = 0; capture < 2; ++capture) {
        const int base = 100 * (capture + 1);
        w.CmdRun->click();
        QCOMPARE(r.pollT(), QStringLiteral("T;80;F;0"));
        send(r, "T;0");  // armed, not triggered yet
        QCOMPARE(w.LblJap->text(), QStringLiteral("Now measureing"));
        for (int b = 1; b <= 8; ++b) {
            send(r, block(b, base));
            if (b < 8) {
                QCOMPARE(r.visibleSquares().size(), 2 * b);
                QCOMPARE(w.LblEng->text(), QStringLiteral("Triggered"));
                QCOMPARE(w.LblJap->text(), QStringLiteral("Uploading data........."));
                QVERIFY(w.PictYomitorichu->isVisible());
            }
        }
        QCOMPARE(r.visibleSquares().size(), 16);
        QVERIFY(w.PictYomitorichu->isHidden());
        QVERIFY(w.PictEnable->isEnabled());
        QCOMPARE(r.wave.CaptureRun, qint16(0));
        QCOMPARE(r.pollT(), QStringLiteral("T;0;F;0"));
    }
    for (int s = 0; s < 128; ++s) {
        QCOMPARE(int(r.wave.WaveData[1][s][0]), 200 + s);
        QCOMPARE(int(r.wave.WaveData[1][s][1]), -(200 + s));
        QCOMPARE(int(r.wave.WaveFlag[1][s]), s % 2);
        QCOMPARE(int(r.wave.WaveData[2][s][0]), 100 + s);
    }
    // Drawn: speed 200 + s at 0.0075 px a unit is 1 px up from slot 0 on;
    // the previous capture (100 + s) stays at 0 until slot 33.
    QCOMPARE(rowsIn(r.plot(0), 20, PresentColour), QList<int>{74});
    QCOMPARE(rowsIn(r.plot(0), 20, PreviousColour), QList<int>{76});
    // Status: odd slots high, each change a vertical line (x = 2 s), the
    // level itself at x = 2 s + 1.
    QCOMPARE(rowsIn(r.plot(2), 23, PresentColour), QList<int>{10});
    QCOMPARE(rowsIn(r.plot(2), 21, PresentColour), QList<int>{40});
    QCOMPARE(rowsIn(r.plot(2), 23, PreviousColour), QList<int>{11});
    QCOMPARE(rowsIn(r.plot(2), 22, PresentColour).size(), 31);
}

void TstHMon::block8Alone()
{
    WaveRig r;
    for (int s = 0; s < 128; ++s) r.wave.WaveData[0][s] = {qint16(7), qint16(8)};
    r.wave.WaveData[1][5] = {55, 55};
    send(r, block(8, 1000));
    QCOMPARE(r.wave.WaveData[2][5], (std::array<qint16, 2>{55, 55}));
    QCOMPARE(r.wave.WaveData[1][111], (std::array<qint16, 2>{7, 8}));
    QCOMPARE(int(r.wave.WaveData[1][112][0]), 1112);
    QCOMPARE(r.visibleSquares(), (QList<int>{0, 1}));
    // Drawn at once: 1112 at 0.0075 is 8 px up.
    QCOMPARE(rowsIn(r.plot(0), 226, PresentColour), QList<int>{67});
}

void TstHMon::cancelAfterBlock5()
{
    WaveRig r;
    HMon &w = *r.w;
    w.CmdRun->click();
    for (int b = 1; b <= 5; ++b) send(r, block(b, 3000));
    const QImage before = r.plot(0);
    w.CmdCancel->click();
    QCOMPARE(r.plot(0), before);
    QCOMPARE(int(r.wave.WaveData[1][0][0]), 0);  // nothing shown
    QVERIFY(w.PictEnable->isEnabled());
    QCOMPARE(r.pollT(), QStringLiteral("T;0;F;0"));

    // The next capture overwrites the buffer block by block.
    w.CmdRun->click();
    QCOMPARE(r.visibleSquares(), QList<int>{});
    send(r, block(1, 10));
    QCOMPARE(int(r.wave.WaveData[0][15][0]), 25);
    QCOMPARE(int(r.wave.WaveData[0][16][0]), 3016);  // still the cancelled capture
    QCOMPARE(r.visibleSquares(), (QList<int>{0, 1}));
}

void TstHMon::replyWithoutDataChangesNothing()
{
    WaveRig r;
    HMon &w = *r.w;
    w.CmdRun->click();
    send(r, "T;0");
    send(r, "T;9");
    QCOMPARE(w.LblJap->text(), QStringLiteral("Now measureing"));
    QCOMPARE(w.LblEng->text(), QString());
    QCOMPARE(r.visibleSquares(), QList<int>{});
    QVERIFY(w.PictYomitorichu->isVisible());
}

void TstHMon::malformedBlockChangesNothing()
{
    WaveRig r;
    HMon &w = *r.w;
    w.CmdRun->click();
    send(r, block(2, 500));
    // Block 1 cut short: its missing fields would be block 2's leftovers.
    QByteArray shortBlock = block(1, 0);
    shortBlock.truncate(shortBlock.indexOf(";", 40));
    send(r, shortBlock);
    QCOMPARE(w.LblEng->text(), QString());  // not even the captions
    QCOMPARE(r.visibleSquares(), (QList<int>{0, 1}));
    QCOMPARE(int(r.wave.WaveData[0][0][0]), 0);
    // A block 8 beyond 16 bits does not end the upload.
    send(r, block(8, 0).replace(";70;", ";12345;"));  // the speed of slot 112
    QVERIFY(w.PictYomitorichu->isVisible());
    QCOMPARE(r.wave.CaptureRun, qint16(1));
}

void TstHMon::imagesStepTheirLists()
{
    WaveRig r;
    HMon &w = *r.w;
    QList<int> seen;
    for (int i = 0; i < 4; ++i) {
        click(w.ImgEdje);
        seen << w.edgePicture();
    }
    QCOMPARE(seen, (QList<int>{111, 112, 113, 110}));
    QCOMPARE(w.CmbEdje->currentIndex(), 0);

    click(w.ImgWave);
    QCOMPARE(w.wavePicture(), 121);
    QCOMPARE(w.CmbWave->currentIndex(), 1);
    // "Present" only: no red left in any plot.
    for (int c = 0; c < 3; ++c) QCOMPARE(rowsIn(r.plot(c), 100, PreviousColour), QList<int>{});
    click(w.ImgWave);
    QCOMPARE(w.CmbWave->currentIndex(), 0);
    QCOMPARE(rowsIn(r.plot(0), 100, PreviousColour), QList<int>{76});
}

void TstHMon::dialKeyboard_data()
{
    QTest::addColumn<int>("dial");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("pos");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::newRow("Up at 0 stays") << 0 << "U" << 0 << 420.0 << 390.0;
    QTest::newRow("Down") << 0 << "D" << 1 << 532.0 << 510.0;
    QTest::newRow("Down twice") << 1 << "DD" << 2 << 532.0 << 720.0;
    QTest::newRow("Down past 3 stays") << 2 << "DDDDD" << 3 << 403.0 << 847.5;
    QTest::newRow("down and up") << 0 << "DDDU" << 2 << 532.0 << 720.0;
    QTest::newRow("other keys ignored") << 0 << "LRX" << 0 << 420.0 << 390.0;
}

void TstHMon::dialKeyboard()
{
    QFETCH(int, dial);
    QFETCH(QString, keys);
    QFETCH(int, pos);
    QFETCH(double, left);
    QFETCH(double, top);
    WaveRig r;
    HMon &w = *r.w;
    // Data changed behind the window's back shows with the next redraw.
    for (auto &slot : r.wave.WaveData[1]) slot = {400, 900};
    w.PicDial[dial]->setFocus();
    for (QChar k : keys) {
        const Qt::Key key = k == u'U' ? Qt::Key_Up : k == u'D' ? Qt::Key_Down : k == u'L' ? Qt::Key_Left
                          : k == u'R'                          ? Qt::Key_Right
                                                               : Qt::Key_X;
        QTest::keyClick(w.PicDial[dial], key);
    }
    QCOMPARE(int(r.wave.DialPos[dial]), pos);
    QCOMPARE(w.knobLeft(dial), left);
    QCOMPARE(w.knobTop(dial), top);
    const bool arrows = keys.contains(u'U') || keys.contains(u'D');
    if (dial == 0) {
        // 400 at positions 0..3: 2, 7, 15, 30 px up (nothing when not redrawn).
        const int up[4] = {2, 7, 15, 30};
        QCOMPARE(rowsIn(r.plot(0), 100, PresentColour), QList<int>{arrows ? 75 - up[pos] : 75});
    }
    if (dial == 2) QCOMPARE(rowsIn(r.plot(0), 100, PresentColour), QList<int>{75});  // the time base draws nothing
}

void TstHMon::dialCaptionClick()
{
    WaveRig r;
    HMon &w = *r.w;
    for (auto &slot : r.wave.WaveData[1]) slot = {400, 900};
    const QImage speed = r.plot(0), torque = r.plot(1), status = r.plot(2);
    click(w.LblTumamiIchi[11]);  // "0.5"
    QCOMPARE(r.wave.DialPos[2], qint16(3));
    QCOMPARE(w.knobLeft(2), 403.0);
    QCOMPARE(w.knobTop(2), 847.5);
    QCOMPARE(w.LblDial[2]->geometry().topLeft(), QPoint(27, 57));  // 56.5 px drawn at the nearest pixel
    QCOMPARE(r.plot(0), speed);
    QCOMPARE(r.plot(1), torque);
    QCOMPARE(r.plot(2), status);
    QCOMPARE(QApplication::focusWidget(), w.PicDial[2]);

    click(w.LblTumamiIchi[5]);  // "100" on the torque dial redraws the torque plot
    QCOMPARE(r.wave.DialPos[1], qint16(1));
    QCOMPARE(rowsIn(r.plot(1), 100, PresentColour), QList<int>{75 - 25});

    w.PicDial[0]->setFocus();
    click(w.LblTani[1]);
    QCOMPARE(QApplication::focusWidget(), w.PicDial[1]);
    w.PicDial[0]->setFocus();
    click(w.LblTumamiTitle[2]);
    QCOMPARE(QApplication::focusWidget(), w.PicDial[2]);
}

void TstHMon::dialDrag_data()
{
    QTest::addColumn<QList<int>>("moves");  // mouse y within the knob, in pixels
    QTest::addColumn<double>("topDuring");
    QTest::addColumn<int>("pos");
    // Knob Top 390: m = 390 + 15 y must lie in 450..915.
    QTest::newRow("to 622.5 -> 2") << QList<int>{20} << 622.5 << 2;
    QTest::newRow("to 607.5 -> 1") << QList<int>{19} << 607.5 << 1;
    QTest::newRow("above the band: stays") << QList<int>{3} << 390.0 << 0;
    QTest::newRow("far below: stays") << QList<int>{40} << 390.0 << 0;
    QTest::newRow("down, then beyond the band") << QList<int>{30, 20} << 772.5 << 2;
    QTest::newRow("down in steps") << QList<int>{10, 10, 10} << 637.5 << 2;
}

void TstHMon::dialDrag()
{
    QFETCH(QList<int>, moves);
    QFETCH(double, topDuring);
    QFETCH(int, pos);
    WaveRig r;
    HMon &w = *r.w;
    QLabel *knob = w.LblDial[0];
    press(knob, {4, 4});
    for (int y : moves) drag(knob, {4, double(y)});
    QCOMPARE(w.knobTop(0), topDuring);
    if (topDuring != 390.0) {
        // During the drag the Left is the circle's, not rounded.
        QVERIFY(w.knobLeft(0) != std::round(w.knobLeft(0)) || topDuring == 622.5);
    }
    release(knob, {4, 4});
    QCOMPARE(int(r.wave.DialPos[0]), pos);
    QCOMPARE(w.knobTop(0), WaveGeometry::KnobTop(pos));
    QCOMPARE(w.knobLeft(0), WaveGeometry::KnobLeft(WaveGeometry::KnobTop(pos), true));
    QCOMPARE(QApplication::focusWidget(), w.PicDial[0]);
}

void TstHMon::focusColours()
{
    WaveRig r;
    HMon &w = *r.w;
    const QPalette pal = w.palette();
    const QColor active = pal.color(QPalette::Active, QPalette::Highlight);
    w.PicDial[1]->setFocus();
    QCOMPARE(w.LblTumamiTitle[1]->palette().color(QPalette::Window), active);
    QCOMPARE(w.LblTumamiTitle[1]->palette().color(QPalette::WindowText),
             pal.color(QPalette::Active, QPalette::HighlightedText));
    QVERIFY(w.LblTumamiTitle[0]->palette().color(QPalette::Window) != active);
    QCOMPARE(w.LblTumamiTitle[0]->palette().color(QPalette::WindowText),
             pal.color(QPalette::Active, QPalette::WindowText));

    w.Picture1[1]->setFocus();
    QVERIFY(w.LblTumamiTitle[1]->palette().color(QPalette::Window) != active);
    QVERIFY(w.LblCursor2[1]->autoFillBackground());
    QVERIFY(!w.LblCursor2[0]->autoFillBackground());
    QCOMPARE(w.LblCursor2[1]->palette().color(QPalette::Window), active);
    w.TxtDummy1->setFocus();
    QVERIFY(!w.LblCursor2[1]->autoFillBackground());
    QVERIFY(w.LblCursor1->autoFillBackground());
    w.Picture1[2]->setFocus();  // the status plot has no strip
    QVERIFY(!w.LblCursor1->autoFillBackground());
    QVERIFY(!w.LblCursor2[0]->autoFillBackground());
}

void TstHMon::zeroStripClick_data()
{
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("zero");
    QTest::addColumn<bool>("below");
    QTest::addColumn<int>("result");
    QTest::newRow("below with 1") << 0 << 1 << true << 2;
    QTest::newRow("below with 2") << 0 << 2 << true << 4;
    QTest::newRow("above with 1") << 1 << 1 << false << 0;
    QTest::newRow("above with -1") << 1 << -1 << false << -2;
    QTest::newRow("below with 15 stays") << 0 << 15 << true << 15;
    QTest::newRow("above with -15 stays") << 1 << -15 << false << -15;
}

void TstHMon::zeroStripClick()
{
    QFETCH(int, c);
    QFETCH(int, zero);
    QFETCH(bool, below);
    QFETCH(int, result);
    WaveRig r;
    HMon &w = *r.w;
    r.wave.ZeroPos[c] = qint16(zero);
    w.PlaceZeroMarker(c);
    w.PicDial[0]->setFocus();
    // The marker's Top within the strip, in pixels; "at" counts as below.
    const double markerY = (w.zeroMarkerTop(c) - WaveGeometry::StripTop[c]) / 15;
    press(w.LblCursor2[c], {10, below ? markerY : markerY - 1}, Qt::RightButton);
    QCOMPARE(int(r.wave.ZeroPos[c]), result);
    QCOMPARE(w.zeroMarkerTop(c), 2400.0 * c + 1350 + 75 * result);
    QCOMPARE(QApplication::focusWidget(), w.Picture1[c]);
    // The plot follows its zero line.
    const int y0 = WaveGeometry::ZeroLineY(w.zeroMarkerTop(c), WaveGeometry::PlotTop[c]);
    const int row = Twips::px(y0);
    QCOMPARE(rowsIn(r.plot(c), 100, PresentColour), row >= 0 && row < 149 ? QList<int>{row} : QList<int>{});
}

void TstHMon::zeroKeyboardAndDrag()
{
    WaveRig r;
    HMon &w = *r.w;
    w.Picture1[0]->setFocus();
    for (int i = 0; i < 16; ++i) QTest::keyClick(w.Picture1[0], Qt::Key_Down);
    QCOMPARE(r.wave.ZeroPos[0], qint16(15));
    QTest::keyClick(w.Picture1[0], Qt::Key_Up);
    QCOMPARE(r.wave.ZeroPos[0], qint16(14));
    QCOMPARE(w.zeroMarkerTop(0), 1350.0 + 75 * 14);
    // Keys on the status plot do nothing.
    w.Picture1[2]->setFocus();
    QTest::keyClick(w.Picture1[2], Qt::Key_Down);
    QCOMPARE(r.wave.ZeroPos, (std::array<qint16, 2>{14, 0}));

    // Drag the torque marker 5 steps down (25 px) and let go.
    QLabel *marker = w.LblZero[1];
    press(marker, {5, 8});
    drag(marker, {5, 8 + 25 + 128.0 / 15 - 8});
    QCOMPARE(w.zeroMarkerTop(1), 3750.0 + 375);
    release(marker, {5, 8});
    QCOMPARE(r.wave.ZeroPos[1], qint16(5));
    QCOMPARE(w.zeroMarkerTop(1), 3750.0 + 375);
    QCOMPARE(QApplication::focusWidget(), w.Picture1[1]);
    // Dragged beyond its plot the marker stays where it was.
    press(marker, {5, 8});
    drag(marker, {5, 200});
    QCOMPARE(w.zeroMarkerTop(1), 3750.0 + 375);
    release(marker, {5, 8});
}

void TstHMon::trigStripClick_data()
{
    QTest::addColumn<int>("pos");
    QTest::addColumn<bool>("right");
    QTest::addColumn<int>("result");
    QTest::newRow("right with 15") << 15 << true << 17;
    QTest::newRow("right with 14") << 14 << true << 15;
    QTest::newRow("left with 15") << 15 << false << 13;
    QTest::newRow("left with 0 stays") << 0 << false << 0;
    QTest::newRow("right with 30 stays") << 30 << true << 30;
}

void TstHMon::trigStripClick()
{
    QFETCH(int, pos);
    QFETCH(bool, right);
    QFETCH(int, result);
    WaveRig r;
    HMon &w = *r.w;
    r.wave.TrigPos = qint16(pos);
    w.PlaceTriggerMarker();
    const double markerX = (w.trigMarkerLeft() - WaveGeometry::TrigStripLeft) / 15;
    press(w.LblCursor1, {right ? markerX : markerX - 1, 5}, Qt::MiddleButton);
    QCOMPARE(int(r.wave.TrigPos), result);
    QCOMPARE(w.trigMarkerLeft(), 750.0 + 75 * result);
    QCOMPARE(QApplication::focusWidget(), w.TxtDummy1);
    QCOMPARE(r.pollT().section(QLatin1Char(';'), 2, 2), QString::number(result, 16).toUpper());
}

void TstHMon::trigKeyboard()
{
    WaveRig r;
    HMon &w = *r.w;
    w.TxtDummy1->setFocus();
    for (int i = 0; i < 16; ++i) QTest::keyClick(w.TxtDummy1, Qt::Key_Right);
    QCOMPARE(r.wave.TrigPos, qint16(30));
    QCOMPARE(w.trigMarkerLeft(), 3000.0);
    QTest::keyClick(w.TxtDummy1, Qt::Key_Left);
    QCOMPARE(r.wave.TrigPos, qint16(29));
    QTest::keyClick(w.TxtDummy1, Qt::Key_A);
    QCOMPARE(r.wave.TrigPos, qint16(29));
    QVERIFY(w.TxtDummy1->text().isEmpty());
}

void TstHMon::trigDragTo1880()
{
    WaveRig r;
    HMon &w = *r.w;
    QLabel *marker = w.LblTrgView;
    // Each move puts Left at Left + 15 x - 128: +7, +7, +7, -8, -8 = 1880.
    press(marker, {8, 8});
    for (int x : {9, 9, 9, 8, 8}) drag(marker, {double(x), 8});
    QCOMPARE(w.trigMarkerLeft(), 1880.0);
    release(marker, {8, 8});
    QCOMPARE(r.wave.TrigPos, qint16(15));
    QCOMPARE(w.trigMarkerLeft(), 1875.0);
    QCOMPARE(w.LblTrgView->geometry().left(), 125);
}

void TstHMon::torqueReadsMotorType()
{
    WaveRig r;
    HMon &w = *r.w;
    for (auto &slot : r.wave.WaveData[1]) slot[1] = 900;
    w.CmbStatus->setCurrentIndex(1);
    Q_EMIT w.CmbStatus->activated(1);
    QCOMPARE(rowsIn(r.plot(1), 100, PresentColour), QList<int>{63});
    r.motorType = QStringLiteral("5");
    QTest::keyClick(w.PicDial[1], Qt::Key_Up);  // stays at 0, redraws
    QCOMPARE(rowsIn(r.plot(1), 100, PresentColour), QList<int>{});
}

void TstHMon::saveAfterStart()
{
    // The whole program: the trigger position is 15 once start-up is done,
    // and the torque plot reads the parameter window's field.
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    MemoryPort port;
    MDItbl app(port);
    app.titleBar->TimerDateTime.stop();
    const QString path = dir.filePath(QStringLiteral("start.wvt"));
    app.hMon->DlogFile.chooser = [&](bool save) {
        return save ? std::optional<QString>(path) : std::nullopt;
    };
    app.hMon->CmdFile[1]->click();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QCOMPARE(bytes.size(), 808);
    QByteArray expected(808, '\0');
    expected.replace(772, 2, fileEntry(15));
    QCOMPARE(bytes, expected);

    for (auto &slot : app.wave.WaveData[1]) slot[1] = 900;
    app.prmWrit->TxtPrm[57]->setText(QStringLiteral("5"));
    app.hMon->PlaceZeroMarker(1);
    QCOMPARE(rowsIn(app.hMon->Picture1[1]->picture(), 100, PresentColour), QList<int>{});
    app.prmWrit->TxtPrm[57]->setText(QStringLiteral("0"));
    app.hMon->PlaceZeroMarker(1);
    QCOMPARE(rowsIn(app.hMon->Picture1[1]->picture(), 100, PresentColour), QList<int>{63});
}

void TstHMon::saveOverLongerFile()
{
    WaveRig r;
    const QString path = r.dir.filePath(QStringLiteral("long.wvt"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(2000, 'x'));
    f.close();
    r.w->DlogFile.chooser = [&](bool) { return std::optional<QString>(path); };
    r.w->CmdFile[1]->click();
    QCOMPARE(QFileInfo(path).size(), 808);  // loadable again
    // Cancel writes nothing.
    r.w->DlogFile.chooser = [](bool) { return std::optional<QString>(); };
    r.wave.TrigPos = 3;
    r.w->CmdFile[1]->click();
    QFile g(path);
    QVERIFY(g.open(QIODevice::ReadOnly));
    QCOMPARE(g.readAll().mid(772, 2), fileEntry(15));
}

void TstHMon::loadTwice()
{
    WaveRig r;
    HMon &w = *r.w;
    // File A: a capture with the default set-up; file B: another capture
    // with every choice changed.
    for (int s = 0; s < 128; ++s) r.wave.WaveData[1][s] = {qint16(1000 + s), qint16(-s)};
    const QString a = r.dir.filePath(QStringLiteral("a.wvt"));
    const QString b = r.dir.filePath(QStringLiteral("b.wvt"));
    QString chosen = a;
    w.DlogFile.chooser = [&](bool) { return std::optional<QString>(chosen); };
    w.CmdFile[1]->click();
    for (int s = 0; s < 128; ++s) {
        r.wave.WaveData[1][s] = {qint16(2000 + s), qint16(s)};
        r.wave.WaveFlag[1][s] = 1;
    }
    w.CmbTrig->setCurrentIndex(3);
    w.CmbEdje->setCurrentIndex(2);
    w.CmbStatus->setCurrentIndex(4);
    r.wave.TrigPos = 22;
    r.wave.DialPos = {3, 2, 1};
    r.wave.ZeroPos = {-4, 6};
    chosen = b;
    w.CmdFile[1]->click();

    // Back to a clean window state, then load A and B.
    w.CmbTrig->setCurrentIndex(0);
    w.CmbEdje->setCurrentIndex(0);
    w.CmbStatus->setCurrentIndex(0);
    r.wave.TrigPos = 15;
    r.wave.DialPos = {0, 0, 0};
    r.wave.ZeroPos = {0, 0};
    r.wave.WaveData[0][0] = {77, 77};
    chosen = a;
    w.CmdFile[0]->click();
    chosen = b;
    w.CmdFile[0]->click();

    QCOMPARE(int(r.wave.WaveData[2][5][0]), 1005);
    QCOMPARE(int(r.wave.WaveData[1][5][0]), 2005);
    QCOMPARE(int(r.wave.WaveFlag[1][5]), 1);
    QCOMPARE(int(r.wave.WaveFlag[2][5]), 0);
    QCOMPARE(r.wave.WaveData[0][0], (std::array<qint16, 2>{77, 77}));  // the upload buffer is left alone
    QCOMPARE(w.CmbTrig->currentIndex(), 3);
    QCOMPARE(w.CmbEdje->currentIndex(), 2);
    QCOMPARE(w.edgePicture(), 112);
    QCOMPARE(w.CmbStatus->currentText(), QStringLiteral("InPos"));
    QCOMPARE(r.wave.TrigPos, qint16(22));
    QCOMPARE(r.wave.DialPos, (std::array<qint16, 3>{3, 2, 1}));
    QCOMPARE(r.wave.ZeroPos, (std::array<qint16, 2>{-4, 6}));
    QCOMPARE(w.zeroMarkerTop(0), 1350.0 - 300);
    QCOMPARE(w.zeroMarkerTop(1), 3750.0 + 450);
    QCOMPARE(w.knobTop(0), 847.5);
    QCOMPARE(w.knobTop(2), 510.0);
    QCOMPARE(w.trigMarkerLeft(), 750.0 + 75 * 22);
    QCOMPARE(r.pollT(), QStringLiteral("T;33;16;4"));
    // Drawn with the loaded data: 2000 + s at dial position 3 is 150 px up,
    // above the plot, and the previous series (1000 + s) at dial 3 is 75 px
    // up from the zero line 20 px higher: above it too. Torque s at position
    // 2 stands 0 px up at slot 10 on the zero line 6 steps down.
    QCOMPARE(rowsIn(r.plot(0), 20, PresentColour), QList<int>{});
    QCOMPARE(rowsIn(r.plot(1), 20, PresentColour),
             QList<int>{Twips::px(WaveGeometry::ZeroLineY(w.zeroMarkerTop(1), WaveGeometry::PlotTop[1]))});
    QCOMPARE(rowsIn(r.plot(2), 60, PresentColour), QList<int>{10});
    QCOMPARE(rowsIn(r.plot(2), 60, PreviousColour), QList<int>{41});
}

void TstHMon::loadHeldToRanges_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("request");
    QTest::addColumn<int>("speedZero");
    QTest::newRow("speed zero 20 -> 15") << 390 << 20 << "T;0;F;0" << 15;
    QTest::newRow("edge 9 -> last") << 385 << 9 << "T;18;F;0" << 0;
    QTest::newRow("edge -3 -> first") << 385 << -3 << "T;0;F;0" << 0;
    QTest::newRow("time base 7 -> 3, not the run bit") << 387 << 7 << "T;60;F;0" << 0;
    QTest::newRow("trigger position -5 -> 0") << 386 << -5 << "T;0;0;0" << 0;
    QTest::newRow("trigger position 31 -> 30") << 386 << 31 << "T;0;1E;0" << 0;
    QTest::newRow("status 5 -> InPos") << 392 << 5 << "T;0;F;4" << 0;
    QTest::newRow("trigger source 4 -> Manual") << 384 << 4 << "T;3;F;0" << 0;
    QTest::newRow("speed scale 200 -> 3") << 388 << 200 << "T;0;F;0" << 0;
}

void TstHMon::loadHeldToRanges()
{
    QFETCH(int, entry);
    QFETCH(int, value);
    QFETCH(QString, request);
    QFETCH(int, speedZero);
    WaveRig r;
    QByteArray bytes(808, '\0');
    bytes.replace(772, 2, fileEntry(15));
    bytes.replace(2 * entry, 2, fileEntry(qint16(value)));
    const QString path = r.dir.filePath(QStringLiteral("wild.wvt"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    r.w->DlogFile.chooser = [&](bool) { return std::optional<QString>(path); };
    r.w->CmdFile[0]->click();
    QCOMPARE(r.pollT(), request);
    QCOMPARE(int(r.wave.ZeroPos[0]), speedZero);
    QCOMPARE(r.w->zeroMarkerTop(0), 1350.0 + 75 * speedZero);
    for (QComboBox *c : {r.w->CmbTrig, r.w->CmbEdje, r.w->CmbStatus}) QVERIFY(c->currentIndex() >= 0);
    for (qint16 d : r.wave.DialPos) QVERIFY(d >= 0 && d <= 3);
    QVERIFY(r.w->edgePicture() >= 110 && r.w->edgePicture() <= 113);
}

void TstHMon::invalidFile_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("807") << 807;
    QTest::newRow("809") << 809;
    QTest::newRow("empty") << 0;
}

void TstHMon::invalidFile()
{
    QFETCH(int, length);
    WaveRig r;
    const QString path = r.dir.filePath(QStringLiteral("bad.wvt"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(length, '\x05'));
    f.close();
    int asked = 0;
    r.w->DlogFile.chooser = [&](bool save) {
        ++asked;
        return !save && asked == 1 ? std::optional<QString>(path) : std::nullopt;
    };
    const auto before = r.wave.WaveData;
    ModalAnswerer answer;
    r.w->CmdFile[0]->click();
    QCOMPARE(answer.seen.size(), 1);
    QCOMPARE(answer.seen[0].title, QStringLiteral("error"));
    QCOMPARE(answer.seen[0].text, path + QStringLiteral("\rInvalid File"));
    QCOMPARE(answer.seen[0].icon, QMessageBox::Critical);
    QCOMPARE(asked, 2);  // the open dialog came back
    QVERIFY(r.wave.WaveData == before);
}

void TstHMon::missingFileEndsSilently()
{
    WaveRig r;
    int asked = 0;
    r.w->DlogFile.chooser = [&](bool) {
        ++asked;
        return std::optional<QString>(r.dir.filePath(QStringLiteral("none.wvt")));
    };
    r.wave.WaveData[1][0] = {5, 5};
    ModalAnswerer answer;
    r.w->CmdFile[0]->click();
    QCOMPARE(asked, 1);
    QCOMPARE(answer.seen.size(), 0);
    QCOMPARE(r.wave.WaveData[1][0], (std::array<qint16, 2>{5, 5}));
    QCOMPARE(int(r.wave.WaveData[2][0][0]), 0);
}

QTEST_MAIN(TstHMon)
#include "tst_hmon.moc"
