#include "app/windowlayout.h"

#include <QTest>

using namespace WindowLayout;

namespace {

// Seven windows of distinct sizes, in slot order. Side by side in three
// columns they take 1208 x 704; in two columns (cut after the scope) 904 x
// 858; cascaded 556 x 400.
const Sizes Windows{QSize(300, 200), QSize(200, 250), QSize(96, 250), QSize(400, 300),
                    QSize(400, 150), QSize(500, 400), QSize(500, 300)};

QList<QRect> rectsOf(const Arrangement &a)
{
    QList<QRect> out;
    for (int i = 0; i < SlotCount; ++i) out << QRect(a.positions[i], Windows[i]);
    return out;
}

using Places = QList<QPoint>;

}  // namespace

class TstWindowLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void arrange_data();
    void arrange();
    void places_data();
    void places();
    void usable_data();
    void usable();
    void fitOnScreen_data();
    void fitOnScreen();
    void titleBarInside_data();
    void titleBarInside();
};

void TstWindowLayout::arrange_data()
{
    QTest::addColumn<QSize>("area");
    QTest::addColumn<bool>("mayOverlap");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("fits");
    const int three = int(Kind::ThreeColumns), two = int(Kind::TwoColumns), cascade = int(Kind::Cascade);
    QTest::newRow("wide screen") << QSize(1916, 980) << true << three << true;
    QTest::newRow("three columns exactly") << QSize(1208, 704) << true << three << true;
    QTest::newRow("a pixel too narrow for three") << QSize(1207, 900) << true << two << true;
    QTest::newRow("two columns exactly") << QSize(904, 858) << true << two << true;
    QTest::newRow("a pixel too low for two") << QSize(1207, 857) << true << cascade << true;
    QTest::newRow("a pixel too low for three, cascade") << QSize(1300, 703) << true << cascade << true;
    QTest::newRow("cascade exactly") << QSize(556, 400) << true << cascade << true;
    QTest::newRow("too small for anything") << QSize(555, 400) << true << two << false;
    QTest::newRow("no overlap: two overflow less") << QSize(1100, 857) << false << two << false;
    QTest::newRow("no overlap: three a little low") << QSize(1300, 700) << false << three << false;
    QTest::newRow("no overlap: as much over, three") << QSize(1207, 857) << false << three << false;
    QTest::newRow("no overlap: three still") << QSize(1208, 704) << false << three << true;
    QTest::newRow("empty area") << QSize(0, 0) << true << two << false;
}

void TstWindowLayout::arrange()
{
    QFETCH(QSize, area);
    QFETCH(bool, mayOverlap);
    QFETCH(int, kind);
    QFETCH(bool, fits);
    const Arrangement a = Arrange(Windows, area, mayOverlap);
    QCOMPARE(int(a.kind), kind);
    QCOMPARE(a.fits, fits);
    const QList<QRect> rects = rectsOf(a);
    QRect all;
    for (const QRect &r : rects) all |= r;
    QCOMPARE(all.topLeft(), QPoint(0, 0));
    QCOMPARE(all.size(), a.extent);
    if (a.kind == Kind::Cascade) return;
    for (int i = 0; i < rects.size(); ++i)
        for (int j = i + 1; j < rects.size(); ++j)
            QVERIFY2(!rects[i].intersects(rects[j]), qPrintable(QStringLiteral("%1 over %2").arg(i).arg(j)));
}

void TstWindowLayout::places_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<Places>("places");  // panel, status, alarm, scope, I/O, parameters, points
    QTest::newRow("three columns") << int(Kind::ThreeColumns)
                                   << Places{{0, 0}, {0, 204}, {204, 204}, {304, 0}, {304, 304}, {708, 0}, {708, 404}};
    // Operating block and scope | I/O and both editors: the lowest of the cuts.
    QTest::newRow("two columns") << int(Kind::TwoColumns)
                                 << Places{{0, 0}, {0, 204}, {204, 204}, {0, 458}, {404, 0}, {404, 154}, {404, 558}};
    // Largest at the back, the I/O monitor in front.
    QTest::newRow("cascade") << int(Kind::Cascade)
                             << Places{{78, 78}, {104, 104}, {130, 130}, {52, 52}, {156, 156}, {0, 0}, {26, 26}};
}

void TstWindowLayout::places()
{
    QFETCH(int, kind);
    QFETCH(Places, places);
    const Arrangement a = ArrangeAs(Kind(kind), Windows);
    QCOMPARE(Places(a.positions.begin(), a.positions.end()), places);
}

void TstWindowLayout::usable_data()
{
    QTest::addColumn<QRect>("remembered");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<bool>("usable");
    const QRect hd(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1920, 1080);
    const QRect small(0, 0, 1024, 768);
    QTest::newRow("whole on the screen") << QRect(100, 100, 800, 600) << QList<QRect>{hd} << true;
    QTest::newRow("on a second screen that is gone") << QRect(2000, 100, 800, 600) << QList<QRect>{hd} << false;
    QTest::newRow("on the second screen") << QRect(2000, 100, 800, 600) << QList<QRect>{hd, right} << true;
    QTest::newRow("across both screens") << QRect(1800, 100, 800, 600) << QList<QRect>{hd, right} << true;
    QTest::newRow("from a larger screen, top-left on") << QRect(900, 500, 1000, 800) << QList<QRect>{small} << true;
    QTest::newRow("off the right, 64 px on") << QRect(1856, 100, 800, 600) << QList<QRect>{hd} << true;
    QTest::newRow("off the right, 63 px on") << QRect(1857, 100, 800, 600) << QList<QRect>{hd} << false;
    QTest::newRow("off the left, 64 px on") << QRect(-736, 100, 800, 600) << QList<QRect>{hd} << true;
    QTest::newRow("off the left, 20 px on") << QRect(-780, 100, 800, 600) << QList<QRect>{hd} << false;
    QTest::newRow("top half of the title above") << QRect(100, -12, 800, 600) << QList<QRect>{hd} << true;
    QTest::newRow("more than half above") << QRect(100, -13, 800, 600) << QList<QRect>{hd} << false;
    QTest::newRow("only the bottom on") << QRect(100, -500, 800, 600) << QList<QRect>{hd} << false;
    QTest::newRow("below the screen") << QRect(100, 1070, 800, 600) << QList<QRect>{hd} << false;
    QTest::newRow("narrower than the grip") << QRect(10, 10, 40, 30) << QList<QRect>{hd} << true;
    QTest::newRow("nothing remembered") << QRect() << QList<QRect>{hd} << false;
    QTest::newRow("no screens") << QRect(100, 100, 800, 600) << QList<QRect>{} << false;
}

void TstWindowLayout::usable()
{
    QFETCH(QRect, remembered);
    QFETCH(QList<QRect>, screens);
    QFETCH(bool, usable);
    QCOMPARE(UsableOnScreens(remembered, screens), usable);
}

void TstWindowLayout::fitOnScreen_data()
{
    QTest::addColumn<QRect>("remembered");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("fitted");  // empty: maximised
    const QRect small(0, 0, 1024, 740);
    QTest::newRow("fits where it was") << QRect(50, 60, 800, 600) << small << QRect(50, 60, 800, 600);
    // A run at 1920x1080 left it larger than the smaller screen.
    QTest::newRow("from a larger screen") << QRect(36, 60, 1848, 912) << small << QRect();
    QTest::newRow("fits, pushed back from the right") << QRect(900, 100, 800, 600) << small << QRect(224, 100, 800, 600);
    QTest::newRow("fits, title bar brought down") << QRect(10, 0, 800, 600) << small << QRect(10, 24, 800, 600);
    QTest::newRow("fits, pushed up from below") << QRect(10, 500, 800, 600) << small << QRect(10, 140, 800, 600);
    QTest::newRow("exactly the room") << QRect(0, 24, 1024, 716) << small << QRect(0, 24, 1024, 716);
    QTest::newRow("a pixel too high") << QRect(0, 24, 1024, 717) << small << QRect();
    QTest::newRow("a pixel too wide") << QRect(0, 24, 1025, 600) << small << QRect();
    QTest::newRow("second screen") << QRect(2000, 100, 800, 600) << QRect(1920, 0, 1920, 1080)
                                   << QRect(2000, 100, 800, 600);
}

void TstWindowLayout::fitOnScreen()
{
    QFETCH(QRect, remembered);
    QFETCH(QRect, available);
    QFETCH(QRect, fitted);
    QCOMPARE(FitOnScreen(remembered, available).value_or(QRect()), fitted);
}

void TstWindowLayout::titleBarInside_data()
{
    QTest::addColumn<QRect>("child");
    QTest::addColumn<QSize>("area");
    QTest::addColumn<QPoint>("at");
    const QSize area(1000, 600);
    QTest::newRow("inside stays") << QRect(100, 100, 300, 200) << area << QPoint(100, 100);
    QTest::newRow("hanging off the right") << QRect(900, 100, 300, 200) << area << QPoint(700, 100);
    QTest::newRow("off to the right") << QRect(1500, 100, 300, 200) << area << QPoint(700, 100);
    QTest::newRow("wider than the area") << QRect(300, 100, 1300, 200) << area << QPoint(0, 100);
    QTest::newRow("below the area") << QRect(100, 700, 300, 200) << area << QPoint(100, 576);
    QTest::newRow("above the area") << QRect(100, -50, 300, 200) << area << QPoint(100, 0);
    QTest::newRow("off to the left") << QRect(-290, 10, 300, 200) << area << QPoint(0, 10);
    QTest::newRow("narrow window") << QRect(-50, 10, 40, 30) << area << QPoint(0, 10);
    QTest::newRow("area smaller than a title bar") << QRect(300, 300, 300, 200) << QSize(50, 20) << QPoint(0, 0);
}

void TstWindowLayout::titleBarInside()
{
    QFETCH(QRect, child);
    QFETCH(QSize, area);
    QFETCH(QPoint, at);
    QCOMPARE(TitleBarInside(child, area), at);
}

QTEST_MAIN(TstWindowLayout)
#include "tst_windowlayout.moc"
