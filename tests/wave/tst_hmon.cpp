// The waveform window driven as a user and a drive would: the set-up lists,
// Run and Cancel, the upload through the link, the markers by mouse
// and keyboard, and the waveform file.

#include "mainwindowrig.h"
#include "app/mditbl.h"
#include "common/shape.h"
#include "common/twips.h"
#include "app/titlebar.h"
#include "linktestutil.h"
#include "params/prm_writ.h"
#include "plotpixels.h"
#include "drive/params/parametermodel.h"
#include "drive/session.h"
#include "drive/wave/wavefile.h"
#include "testservices.h"
#include "uitestutil.h"
#include "wave/hmon.h"
#include "wave/picturebox.h"
#include "wave/wavegeometry.h"
#include "wave/waveplot.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

namespace WG = WaveGeometry;

namespace {

// The window on an in-memory port, active in the poll, in a fresh directory.
struct WaveRig : LinkRig {
    QTemporaryDir dir;
    WaveState wave;
    ParameterModel params;  // motor type "0"
    TestFileChooser files;
    std::unique_ptr<HMon> w;
    WaveRig()
    {
        QDir::setCurrent(dir.path());
        link.setActiveTagSource([] { return QStringLiteral("3"); });
        w = std::make_unique<HMon>(link, wave, params, files);
        wave.TrigPos = 15;
        w->show();
        QApplication::setActiveWindow(w.get());
        if (!QTest::qWaitForWindowActive(w.get())) qWarning("window not active");
    }
    // Answers "S" until the window's "T" request goes out; returns it.
    QString pollT()
    {
        if (!port.isOpen()) link.OpenPort();
        for (int i = 0; i < 3 && !requests(port).last().startsWith(u'T'); ++i) reply(port, "S;0");
        const QString t = requests(port).last();
        reply(port, "S;0");
        return t;
    }
    void send(const QByteArray &text) { reply(port, text.constData()); }
    QList<int> squares() const
    {
        QList<int> out;
        for (int i = 0; i < 16; ++i)
            if (!w->ShpPrg[i]->isHidden()) out << i;
        return out;
    }
    // Rows of a plot's column painted in the present colour.
    QList<int> present(int c, int x = 100) const { return rowsIn(w->Picture1[c]->picture(), x, PresentColour); }
    // Every file dialog from now on answers with path.
    void chooseFile(const QString &path) { files.alwaysOpen = files.alwaysSave = path; }
};

// Block b with speed base + slot, torque -(base + slot), status set on odd slots.
QByteArray block(int b, int base)
{
    QByteArray t = "T;" + QByteArray::number(b);
    for (int slot = (b - 1) * 16; slot < b * 16; ++slot) {
        const int torque = -(base + slot) - (slot % 2 ? 10000 : 0);
        t += ';' + QByteArray::number(quint16(torque), 16) + ';' + QByteArray::number(quint16(base + slot), 16);
    }
    return t;
}

void mouse(QWidget *w, QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
// Presses, moves with the left button held through each point, releases.
void dragThrough(QWidget *w, const QList<QPointF> &moves, bool release = true)
{
    mouse(w, QEvent::MouseButtonPress, {4, 4}, Qt::LeftButton, Qt::LeftButton);
    for (QPointF p : moves) mouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
    if (release) mouse(w, QEvent::MouseButtonRelease, {4, 4}, Qt::LeftButton, Qt::NoButton);
}
void click(QWidget *w, QPointF pos = {2, 2}, Qt::MouseButton b = Qt::LeftButton)
{
    mouse(w, QEvent::MouseButtonPress, pos, b, b);
    mouse(w, QEvent::MouseButtonRelease, pos, b, Qt::NoButton);
}

// A file entry, low byte first; a file of zeros with the trigger position 15.
QByteArray entry(qint16 v) { return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF); }
QByteArray freshFile() { return QByteArray(772, '\0') + entry(15) + QByteArray(34, '\0'); }

}  // namespace

class TstHMon : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cancelAfterBlock5ThenBlock8Alone();
    void imagesStep_data();
    void imagesStep();
    void markers_data();
    void markers();
    void dials_data();
    void dials();
    void saveAfterStart();
    void loadTwiceThenOneOutOfRange();
    void refusedFiles_data();
    void refusedFiles();
};

void TstHMon::cancelAfterBlock5ThenBlock8Alone()
{
    WaveRig r;
    HMon &w = *r.w;
    w.CmdRun->click();
    QCOMPARE(w.LblJap->text(), QStringLiteral("Now measureing"));
    QVERIFY(!w.CmdRun->isEnabled() && !w.CmdFile[0]->isEnabled());  // no second Run, no file
    for (int b = 1; b <= 5; ++b) r.send(block(b, 3000));
    QCOMPARE(w.LblEng->text(), QStringLiteral("Triggered"));
    QCOMPARE(w.LblJap->text(), QStringLiteral("Uploading data........."));
    const QImage before = w.Picture1[0]->picture();
    w.CmdCancel->click();
    QCOMPARE(r.pollT(), QStringLiteral("T;0;F;0"));  // the run bit is off again
    QCOMPARE(w.Picture1[0]->picture(), before);
    QCOMPARE(r.wave.WaveData[1][0][0], qint16(0));
    QVERIFY(w.PictEnable->isEnabled());

    w.CmdRun->click();
    // Armed, then a sample beyond 16 bits: nothing moves on.
    for (const QByteArray &t : {QByteArray("T;0"), block(8, 0).replace(";70;", ";12345;")}) r.send(t);
    QCOMPARE(w.LblEng->text(), QString());
    QCOMPARE(r.squares(), QList<int>{});
    QCOMPARE(r.wave.WaveData[0][0][0], qint16(3000));
    r.send(block(1, 10));  // a fresh capture overwrites block by block
    QCOMPARE(r.squares(), (QList<int>{0, 1}));
    r.send(block(8, 10));  // ...and block 8 ends it, the rest being older
    QCOMPARE(r.wave.WaveData[1][15][0], qint16(25));
    QCOMPARE(r.wave.WaveData[1][16][0], qint16(3016));
    QCOMPARE(r.wave.WaveData[1][100][0], qint16(0));
    QCOMPARE(r.wave.WaveData[1][127][0], qint16(137));
    QCOMPARE(r.squares(), (QList<int>{0, 1, 2, 3}));
    QVERIFY(w.PictYomitorichu->isHidden());
    QCOMPARE(r.present(0, 40), QList<int>{53});  // 3020 at 0.0075: 22 px up
}

void TstHMon::imagesStep_data()
{
    // Gestures on the edge image (E) or the display mode image (W): c a click,
    // d a double-click. The pictures shown after each.
    QTest::addColumn<QString>("gestures");
    QTest::addColumn<QList<int>>("pictures");
    QTest::newRow("four clicks round the edges") << "Ecccc" << QList<int>{111, 112, 113, 110};
    QTest::newRow("a double-click is one click") << "Edcd" << QList<int>{111, 112, 113};
    QTest::newRow("display modes") << "Wdc" << QList<int>{121, 120};
}

void TstHMon::imagesStep()
{
    QFETCH(QString, gestures);
    QFETCH(QList<int>, pictures);
    WaveRig r;
    const bool edge = gestures.startsWith(u'E');
    QWidget *image = edge ? r.w->ImgEdje : r.w->ImgWave;
    // Through the window, as the system delivers them: a double-click's
    // second press comes as a double-click event.
    QWindow *window = r.w->windowHandle();
    const QPoint at = image->mapTo(r.w.get(), QPoint(5, 5));
    QList<int> shown;
    for (QChar g : gestures.mid(1)) {
        if (g == u'd') QTest::mouseDClick(window, Qt::LeftButton, {}, at);
        else QTest::mouseClick(window, Qt::LeftButton, {}, at);
        shown << (edge ? r.w->edgePicture() : r.w->wavePicture());
    }
    QCOMPARE(shown, pictures);
    QCOMPARE((edge ? r.w->CmbEdje : r.w->CmbWave)->currentIndex(), pictures.constLast() % 10);
}

void TstHMon::markers_data()
{
    // Actions: Zc^ / Zcv click the strip of zero line c above / at the
    // marker; Kc+ / Kc- Down / Up on plot c; T> / T< click the trigger strip
    // right / left of the marker; R / L keys on the trigger; Mc:y drag zero
    // marker c to y px within it (its middle is 8.5 px) and let go; Dx,x..
    // drag the trigger marker through x px within it, each move counting from
    // where the last left it, and let go.
    QTest::addColumn<QList<int>>("start");  // ZeroPos 0, ZeroPos 1, TrigPos
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QList<int>>("end");
    QTest::addColumn<QString>("focus");
    using L = QList<int>;
    using S = QStringList;
    QTest::newRow("below with 1") << L{1, 0, 15} << S{"Z0v"} << L{2, 0, 15} << "Picture1(0)";
    QTest::newRow("above with -1") << L{0, -1, 15} << S{"Z1^"} << L{0, -2, 15} << "Picture1(1)";
    QTest::newRow("15 plus Down stays") << L{14, 0, 15} << S{"K0+", "K0+"} << L{15, 0, 15} << "Picture1(0)";
    QTest::newRow("drag 5 steps down") << L{0, 0, 15} << S{"M1:33.5"} << L{0, 5, 15} << "Picture1(1)";
    QTest::newRow("right with 15") << L{0, 0, 15} << S{"T>"} << L{0, 0, 17} << "TxtDummy1";
    // Each move puts Left at Left + 15 x - 128: 1875 + 3 x 82 = 2121 is 18.28.
    QTest::newRow("trigger drag") << L{0, 0, 15} << S{"D14,14,14"} << L{0, 0, 18} << "CmdRun";
    QTest::newRow("left with 0 stays") << L{0, 0, 0} << S{"T<"} << L{0, 0, 0} << "TxtDummy1";
    QTest::newRow("Right key at 30 stays") << L{0, 0, 30} << S{"R"} << L{0, 0, 30} << "TxtDummy1";
    QTest::newRow("Left key at 0 stays") << L{0, 0, 0} << S{"L"} << L{0, 0, 0} << "TxtDummy1";
}

void TstHMon::markers()
{
    QFETCH(QList<int>, start);
    QFETCH(QStringList, actions);
    QFETCH(QList<int>, end);
    QFETCH(QString, focus);
    WaveRig r;
    HMon &w = *r.w;
    r.wave.ZeroPos = {qint16(start[0]), qint16(start[1])};
    r.wave.TrigPos = qint16(start[2]);
    w.PlaceZeroMarker(0);
    w.PlaceZeroMarker(1);
    w.PlaceTriggerMarker();
    w.CmdRun->setFocus();
    for (const QString &a : actions) {
        const int c = a.mid(1, 1).toInt();
        if (a.startsWith(u'Z')) {
            const double marker = (w.zeroMarkerTop(c) - WG::StripTop[c]) / 15;  // "at" counts as below
            click(w.LblCursor2[c], {10, a.endsWith(u'v') ? marker : marker - 1}, Qt::RightButton);
        } else if (a.startsWith(u'K')) {
            w.Picture1[c]->setFocus();
            QTest::keyClick(w.Picture1[c], a.endsWith(u'+') ? Qt::Key_Down : Qt::Key_Up);
        } else if (a.startsWith(u'M')) {
            dragThrough(w.LblZero[c], {QPointF(4, a.mid(3).toDouble())});
        } else if (a.startsWith(u'D')) {
            QList<QPointF> moves;
            for (const QString &x : a.mid(1).split(u',')) moves << QPointF(x.toDouble(), 8);
            dragThrough(w.LblTrgView, moves);
        } else if (a.startsWith(u'T')) {
            const double marker = (w.trigMarkerLeft() - WG::TrigStripLeft) / 15;
            click(w.LblCursor1, {a == u"T>" ? marker : marker - 1, 5}, Qt::MiddleButton);
        } else {
            w.TxtDummy1->setFocus();
            QTest::keyClick(w.TxtDummy1, a == u"R" ? Qt::Key_Right : Qt::Key_Left);
        }
    }
    QCOMPARE((QList<int>{r.wave.ZeroPos[0], r.wave.ZeroPos[1], r.wave.TrigPos}), end);
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    for (int c = 0; c < 2; ++c) {
        QCOMPARE(w.zeroMarkerTop(c), WG::ZeroMarkerTop(c, end[c]));
        const int y0 = Twips::px(WG::ZeroLineY(w.zeroMarkerTop(c), WG::PlotTop[c]));
        QCOMPARE(r.present(c), y0 < 149 ? QList<int>{y0} : QList<int>{});  // the plot follows its zero line
    }
    QCOMPARE(w.trigMarkerLeft(), WG::TrigMarkerLeft(end[2]));
    QCOMPARE(r.pollT().section(u';', 2, 2), QString::number(end[2], 16).toUpper());
}

void TstHMon::dials_data()
{
    // Actions: Up / Down keys to the focused control; drag:y,y.. moves the
    // knob with the left button held, y px within it each time, and lets go;
    // caption:i clicks position caption i; title clicks the dial's title;
    // away gives the focus to Run.
    QTest::addColumn<int>("dial");
    QTest::addColumn<int>("start");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<int>("end");
    using S = QStringList;
    QTest::newRow("Up at 0 stays, redrawn") << 0 << 0 << S{"Up"} << 0;
    QTest::newRow("Down at 3 stays, redrawn") << 1 << 3 << S{"Down"} << 3;
    // Each move counts from where the last one left the knob: Tops 472.5,
    // 555, 637.5; the fourth lands beyond 915 and is ignored.
    QTest::newRow("drag to 2") << 1 << 0 << S{"drag:10,10,10,40"} << 2;
    QTest::newRow("caption 0.5, no plot redrawn") << 2 << 0 << S{"caption:11"} << 3;
    QTest::newRow("title takes the keys") << 2 << 1 << S{"away", "title", "Down"} << 2;
}

void TstHMon::dials()
{
    QFETCH(int, dial);
    QFETCH(int, start);
    QFETCH(QStringList, actions);
    QFETCH(int, end);
    WaveRig r;
    HMon &w = *r.w;
    r.wave.DialPos[dial] = qint16(start);
    w.PlaceKnob(dial);
    // A capture the plots do not show yet: only a redraw brings it in.
    for (auto &slot : r.wave.WaveData[1]) slot = {400, 900};
    const QImage stale[2] = {w.Picture1[0]->picture(), w.Picture1[1]->picture()};
    for (const QString &a : actions) {
        const QString arg = a.section(u':', 1);
        if (a == u"Up" || a == u"Down") {
            QTest::keyClick(QApplication::focusWidget(), a == u"Up" ? Qt::Key_Up : Qt::Key_Down);
        } else if (a.startsWith(u"drag")) {
            QList<QPointF> moves;
            for (const QString &y : arg.split(u',')) moves << QPointF(4, y.toDouble());
            dragThrough(w.LblDial[dial], moves);
        } else if (a.startsWith(u"caption")) {
            click(w.LblTumamiIchi[arg.toInt()]);
        } else if (a == u"title") {
            click(w.LblTumamiTitle[dial]);
        } else {
            w.CmdRun->setFocus();
        }
    }
    QCOMPARE(r.wave.DialPos[dial], qint16(end));
    QCOMPARE(QApplication::focusWidget(), w.PicDial[dial]);
    QCOMPARE(w.knobTop(dial), WG::KnobTop(end));
    QCOMPARE(w.knobLeft(dial), WG::KnobLeft(WG::KnobTop(end), true));
    // The dial's own plot is drawn afresh at its scale; no other plot is touched.
    for (int c = 0; c < 2; ++c) {
        const QImage shown = w.Picture1[c]->picture();
        w.DrawTrace(c);
        QVERIFY2(shown == (c == dial ? w.Picture1[c]->picture() : stale[c]), qPrintable(QString::number(c)));
    }
}

void TstHMon::saveAfterStart()
{
    // The whole program: the trigger position is 15 once start-up is done,
    // and the torque plot reads parameter 57 of the parameter window.
    MainWindowRig rig;
    MDItbl &app = *rig.app;
    Session &session = *rig.session;
    const QTemporaryDir &dir = rig.dir;
    TestFileChooser &files = rig.files;
    const QString path = dir.filePath(QStringLiteral("start.wvt"));
    QFile old(path);  // a longer file saved over is cut to the record
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(2000, 'x')) == 2000);
    old.close();
    files.alwaysSave = path;
    app.hMon->CmdFile[1]->click();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), freshFile());

    for (auto &slot : session.wave.WaveData[1]) slot[1] = 900;
    for (const auto &[type, rows] : {std::pair{"5", QList<int>{}}, std::pair{"0", QList<int>{63}}}) {
        app.prmWrit->TxtPrm[57]->setText(QString::fromLatin1(type));
        app.hMon->PlaceZeroMarker(1);
        QCOMPARE(rowsIn(app.hMon->Picture1[1]->picture(), 100, PresentColour), rows);
    }
}

void TstHMon::loadTwiceThenOneOutOfRange()
{
    WaveRig r;
    HMon &w = *r.w;
    const QString a = r.dir.filePath(QStringLiteral("a.wvt")), b = r.dir.filePath(QStringLiteral("b.wvt"));
    for (int s = 0; s < 128; ++s) r.wave.WaveData[1][s] = {qint16(1000 + s), qint16(-s)};
    r.chooseFile(a);
    w.CmdFile[1]->click();
    // File B: another capture with every choice changed.
    for (int s = 0; s < 128; ++s) r.wave.WaveData[1][s] = {qint16(2000 + s), qint16(s)};
    r.wave.WaveFlag[1].fill(1);
    w.CmbTrig->setCurrentIndex(3);
    w.CmbEdje->setCurrentIndex(2);
    w.CmbStatus->setCurrentIndex(4);
    r.wave.TrigPos = 22;
    r.wave.DialPos = {3, 2, 1};
    r.wave.ZeroPos = {-4, 6};
    r.chooseFile(b);
    w.CmdFile[1]->click();

    WaveState clean;
    clean.TrigPos = 15;
    clean.WaveData[0][0] = {77, 77};
    r.wave = clean;
    for (QComboBox *c : {w.CmbTrig, w.CmbEdje, w.CmbStatus}) c->setCurrentIndex(0);
    for (const QString &file : {a, b}) {
        r.chooseFile(file);
        w.CmdFile[0]->click();
    }
    QCOMPARE(r.wave.WaveData[2][5], (std::array<qint16, 2>{1005, -5}));
    QCOMPARE(r.wave.WaveData[1][5], (std::array<qint16, 2>{2005, 5}));
    QCOMPARE(int(r.wave.WaveFlag[1][5]) * 10 + r.wave.WaveFlag[2][5], 10);
    QCOMPARE(r.wave.WaveData[0][0], (std::array<qint16, 2>{77, 77}));  // the upload buffer is left alone
    QCOMPARE(w.CmbTrig->currentIndex(), 3);
    QCOMPARE(w.edgePicture(), 112);
    QCOMPARE(w.CmbStatus->currentText(), QStringLiteral("InPos"));
    QCOMPARE(r.wave.DialPos, (std::array<qint16, 3>{3, 2, 1}));
    QCOMPARE(r.wave.ZeroPos, (std::array<qint16, 2>{-4, 6}));
    QCOMPARE(w.zeroMarkerTop(1), 3750.0 + 450);
    QCOMPARE(w.knobTop(0), 847.5);
    QCOMPARE(w.trigMarkerLeft(), 750.0 + 75 * 22);
    QCOMPARE(r.pollT(), QStringLiteral("T;33;16;4"));

    // A file made elsewhere: the speed zero line and the trigger position out
    // of range are clamped by their placement (a list or dial position out
    // of range refuses the file: refusedFiles).
    QByteArray bytes = freshFile();
    const std::pair<int, qint16> wild[] = {{384, 3}, {385, 3}, {386, -5}, {387, 3}, {388, 0}, {389, 3}, {390, 20}, {392, 4}};
    for (const auto &[e, v] : wild) bytes.replace(2 * e, 2, entry(v));
    QFile f(r.dir.filePath(QStringLiteral("wild.wvt")));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == 808);
    f.close();
    r.chooseFile(f.fileName());
    w.CmdFile[0]->click();
    // Held to Manual, Reverse Down, 0.5 s, InPos, trigger 0 - not the run bit.
    QCOMPARE(r.pollT(), QStringLiteral("T;7B;0;4"));
    QCOMPARE(w.edgePicture(), 113);
    QCOMPARE(r.wave.DialPos, (std::array<qint16, 3>{0, 3, 3}));
    QCOMPARE(r.wave.ZeroPos[0], qint16(15));
    QCOMPARE(w.zeroMarkerTop(0), 1350.0 + 75 * 15);
}

void TstHMon::refusedFiles_data()
{
    QTest::addColumn<int>("length");  // -1: no such file
    QTest::addColumn<int>("entry");   // of a file of the right length: one value set
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("problem");
    QTest::newRow("807 bytes") << 807 << 0 << 0 << "";
    QTest::newRow("missing: silent") << -1 << 0 << 0 << "";
    // The set-up would go to the drive with the next capture.
    QTest::newRow("trigger source 7") << 808 << 384 << 7 << "entry 384 (trigger source) = 7 is outside its range 0/3";
    QTest::newRow("status signal -1") << 808 << 392 << -1 << "entry 392 (status signal) = -1 is outside its range 0/4";
    QTest::newRow("time base 4") << 808 << 387 << 4 << "entry 387 (time base) = 4 is outside its range 0/3";
    QTest::newRow("status bit 2") << 808 << 9 << 2 << "entry 9 (status bit of sample 3) = 2 is outside its range 0/1";
}

void TstHMon::refusedFiles()
{
    QFETCH(int, length);
    QFETCH(int, entry);
    QFETCH(int, value);
    QFETCH(QString, problem);
    WaveRig r;
    const QString path = r.dir.filePath(QStringLiteral("bad.wvt"));
    QFile f(path);
    QByteArray bytes(length, '\5');
    if (length == WaveFileBytes) {
        WaveFileRecord record{};
        record[size_t(entry)] = qint16(value);
        bytes = EncodeWaveFile(record);
    }
    if (length >= 0) QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == length);
    f.close();
    r.files.answers << path;  // then cancel
    r.wave.WaveData[1][0] = {5, 5};
    const WaveState before = r.wave;
    ModalAnswerer answer;
    r.w->CmdFile[0]->click();
    QStringList told;
    if (length >= 0) told << "critical error: " + path + "\nInvalid File" + (problem.isEmpty() ? QString() : "\n" + problem);
    QCOMPARE(answer.told(), told);
    QCOMPARE(r.files.asked.size(), 1 + told.size());  // after the message the open dialog comes back
    QVERIFY(r.wave.WaveData == before.WaveData);
}

QTEST_MAIN(TstHMon)
#include "tst_hmon.moc"
