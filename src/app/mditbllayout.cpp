// The main window's arrangement of its child windows: the start-up
// arrangement, "Window(&W)"'s tile, cascade and start-up sizes, a window made
// later placed inside the area, and the places kept between runs.

#include "mditbl.h"

#include "app/password.h"
#include "app/titlebar.h"
#include "common/childwindow.h"
#include "monitor/alarm.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"
#include "monitor/mon2.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "wave/hmon.h"
#include "drive/useroptions.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <utility>

std::array<ChildFrame *, WindowLayout::SlotCount> MDItbl::layoutFrames() const
{
    return {frameOf(commComm), frameOf(mon2), frameOf(alarm), frameOf(hMon),
            frameOf(ioMon),    frameOf(prmWrit), frameOf(tblWrit)};
}

WindowLayout::Sizes MDItbl::childSizes() const
{
    WindowLayout::Sizes sizes;
    const auto frames = layoutFrames();
    for (int i = 0; i < WindowLayout::SlotCount; ++i) sizes[i] = frames[i]->size();
    return sizes;
}

QSize MDItbl::chromeSize() const
{
    // The menu bar, the status strip above the windows and the status bar.
    const int chrome =
        menuBar()->sizeHint().height() + titleBar->sizeHint().height() + statusBar()->sizeHint().height();
    return QSize(4, chrome + 4);
}

QSize MDItbl::areaForLayout() const
{
    // Inside the area's frame, with no room kept for scroll bars: they go
    // once the windows fit.
    if (isVisible()) return mdiArea->contentsRect().size();
    // Before the first show: the screen less the menus, the strips and a
    // window frame with its title bar.
    const QScreen *s = screen();
    if (!s) return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    return s->availableGeometry().size() - chromeSize() - QSize(8, 40);
}

void MDItbl::placeAll(const WindowLayout::Arrangement &a)
{
    // Placed from the area's origin, wherever it was scrolled to.
    mdiArea->horizontalScrollBar()->setValue(0);
    mdiArea->verticalScrollBar()->setValue(0);
    const auto frames = layoutFrames();
    for (int i = 0; i < WindowLayout::SlotCount; ++i) {
        if (frames[i]->isMinimized() || frames[i]->isMaximized()) frames[i]->showNormal();
        frames[i]->move(a.positions[i]);
    }
    if (a.kind == WindowLayout::Kind::Cascade) {
        // The last placed comes to the front.
        for (WindowLayout::Slot s : {WindowLayout::Params, WindowLayout::Points, WindowLayout::Scope,
                                     WindowLayout::Panel, WindowLayout::Status, WindowLayout::Alarm, WindowLayout::IO})
            frames[s]->raise();
    }
}

void MDItbl::arrangeWindows(QSize area, bool mayOverlap)
{
    m_arrangement = WindowLayout::Arrange(childSizes(), area, mayOverlap);
    placeAll(m_arrangement);
    m_layoutSize = m_arrangement.extent;
    const QSize pw = frameOf(passWord)->size();
    const QSize shown = m_layoutSize.boundedTo(area);
    frameOf(passWord)->move(qMax(0, (shown.width() - pw.width()) / 2), qMax(0, (shown.height() - pw.height()) / 3));
}

void MDItbl::restoreMaximized()
{
    // A maximised window would hide the arrangement and lend its size to it.
    for (QMdiSubWindow *sub : mdiArea->subWindowList())
        if (sub->isMaximized()) sub->showNormal();
}

void MDItbl::tileWindows()
{
    restoreMaximized();
    arrangeWindows(areaForLayout(), false);
}

void MDItbl::cascadeWindows()
{
    restoreMaximized();
    m_arrangement = WindowLayout::ArrangeAs(WindowLayout::Kind::Cascade, childSizes());
    m_arrangement.fits = m_arrangement.extent.width() <= areaForLayout().width() &&
                         m_arrangement.extent.height() <= areaForLayout().height();
    placeAll(m_arrangement);
}

void MDItbl::arrangeAsAtStart()
{
    restoreMaximized();
    const auto frames = layoutFrames();
    for (int i = 0; i < WindowLayout::SlotCount; ++i) {
        if (frames[i]->isMinimized() || frames[i]->isMaximized()) frames[i]->showNormal();
        QSize size = m_startSizes[i];
        // The status display keeps the room for the maker's rows while they show.
        if (i == WindowLayout::Status && makerMode()) size = size.expandedTo(frames[i]->sizeHint());
        frames[i]->resize(size);
    }
    arrangeWindows(areaForLayout());
}

void MDItbl::showSubWindow(QMdiSubWindow *sub)
{
    if (sub->isMinimized()) sub->showNormal();
    mdiArea->setActiveSubWindow(sub);
    // How far to scroll along one axis so that [lo, hi) shows in [0, view).
    const auto shift = [](int lo, int hi, int view) {
        if (lo < 0) return lo;
        if (hi > view) return qMin(hi - view, lo);
        return 0;
    };
    const QRect g = sub->geometry();
    const QSize view = mdiArea->viewport()->size();
    QScrollBar *h = mdiArea->horizontalScrollBar();
    QScrollBar *v = mdiArea->verticalScrollBar();
    h->setValue(h->value() + shift(g.left(), g.left() + g.width(), view.width()));
    v->setValue(v->value() + shift(g.top(), g.top() + g.height(), view.height()));
}

QSize MDItbl::preferredSize() const
{
    return m_layoutSize + chromeSize();
}

namespace {

const QString MainKey = QStringLiteral("layout/main");
const QString MaximizedKey = QStringLiteral("layout/maximized");

QList<QRect> screenRects()
{
    QList<QRect> rects;
    for (const QScreen *s : QGuiApplication::screens()) rects << s->availableGeometry();
    return rects;
}

}  // namespace

bool MDItbl::restoreLayout()
{
    m_keepLayout = true;
    QSettings s = UserSettings();
    bool any = false;
    for (ChildFrame *f : layoutFrames()) {
        const QRect r = s.value(QStringLiteral("layout/") + f->objectName()).toRect();
        if (r.isEmpty()) continue;
        f->setGeometry(r);
        any = m_restoredPlaces = true;
    }
    if (any) {
        QRect all;
        for (ChildFrame *f : layoutFrames()) all |= f->geometry();
        m_layoutSize = QSize(all.right() + 1, all.bottom() + 1);
    }
    const QRect main = s.value(MainKey).toRect();
    // Judged with the title bar above the window's own area.
    if (main.isEmpty() || !WindowLayout::UsableOnScreens(main.adjusted(0, -WindowLayout::GripHeight, 0, 0),
                                                         screenRects()))
        return false;
    // On the screen it opens on, whole; too large for it (kept on a larger
    // screen), it is maximised there and gets the screen's room when restored.
    const QScreen *on = QGuiApplication::screenAt(main.topLeft() + QPoint(WindowLayout::GripWidth / 2, 0));
    if (!on) on = QGuiApplication::primaryScreen();
    const QRect available = on ? on->availableGeometry() : main;
    const std::optional<QRect> fitted = WindowLayout::FitOnScreen(main, available);
    setGeometry(fitted.value_or(available.adjusted(0, WindowLayout::GripHeight, 0, 0)));
    m_restoredMaximized = !fitted || s.value(MaximizedKey).toBool();
    return true;
}

void MDItbl::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Once the area has its size: places kept on a larger screen come back in.
    if (m_restoredPlaces && !event->spontaneous())
        QTimer::singleShot(0, this, [this] {
            if (std::exchange(m_restoredPlaces, false)) bringWindowsIntoArea();
        });
}

void MDItbl::placeNewWindow(QMdiSubWindow *sub)
{
    if (!sub || m_placed.contains(sub)) return;
    m_placed << sub;
    fitIntoView(sub);
}

void MDItbl::fitIntoView(QMdiSubWindow *sub)
{
    // A window made later (the tools' windows) opens whole inside the part of
    // the area in view where it fits, else from its top-left corner.
    const QSize view = mdiArea->viewport()->size();
    if (!sub->isMaximized()) {
        const QSize size = sub->size().boundedTo(view).expandedTo(sub->minimumSizeHint());
        if (size != sub->size()) sub->resize(size);
        const QRect g = sub->geometry();
        const QPoint at(std::clamp(g.x(), 0, std::max(0, view.width() - g.width())),
                        std::clamp(g.y(), 0, std::max(0, view.height() - g.height())));
        if (at != g.topLeft()) sub->move(at);
    }
}

void MDItbl::bringWindowsIntoArea()
{
    const QSize area = mdiArea->viewport()->size();
    for (QMdiSubWindow *sub : mdiArea->subWindowList()) {
        if (sub->isHidden() || sub->isMinimized() || sub->isMaximized()) continue;
        const QPoint at = WindowLayout::TitleBarInside(sub->geometry(), area);
        if (at != sub->pos()) sub->move(at);
    }
}

void MDItbl::saveLayout() const
{
    QSettings s = UserSettings();
    // Kept as placed from the area's origin, whatever the scrolling.
    const QPoint scrolled(mdiArea->horizontalScrollBar()->value(), mdiArea->verticalScrollBar()->value());
    const auto frames = layoutFrames();
    for (int i = 0; i < WindowLayout::SlotCount; ++i) {
        ChildFrame *f = frames[i];
        QRect r = (f->isMinimized() || f->isMaximized()) ? QRect() : f->geometry().translated(scrolled);
        // The maker's rows are not shown at the next start.
        if (i == WindowLayout::Status && makerMode() && r.isValid()) r.setSize(m_startSizes[i]);
        if (r.isValid()) s.setValue(QStringLiteral("layout/") + f->objectName(), r);
    }
    s.setValue(MainKey, normalGeometry().isValid() ? normalGeometry() : geometry());
    s.setValue(MaximizedKey, isMaximized());
}
