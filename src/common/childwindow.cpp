#include "childwindow.h"

#include <QCloseEvent>

ChildWindow::ChildWindow(const QString &name, const QString &caption, const QString &tag, QWidget *parent)
    : QWidget(parent), m_tag(tag)
{
    setObjectName(name);
    setWindowTitle(caption);
}

ChildFrame::ChildFrame(QWidget *parent) : QMdiSubWindow(parent) {}

void ChildFrame::closeEvent(QCloseEvent *event)
{
    event->ignore();
    auto *child = qobject_cast<ChildWindow *>(widget());
    if (!child || !child->closeInstead()) showMinimized();
}
