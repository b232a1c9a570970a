#include "childwindow.h"

#include <QCloseEvent>

ChildWindow::ChildWindow(const QString &name, const QString &caption, const QString &tag, QWidget *parent)
    : QWidget(parent), m_tag(tag)
{
    setObjectName(name);
    setWindowTitle(caption);
}

void ChildWindow::showEvent(QShowEvent *event)
{
    // Only the first time: shown again, the window keeps the control the
    // user left it on.
    if (!m_shown && m_firstFocus) m_firstFocus->setFocus(Qt::OtherFocusReason);
    m_shown = true;
    QWidget::showEvent(event);
}

ChildFrame::ChildFrame(QWidget *parent) : QMdiSubWindow(parent) {}

void ChildFrame::closeEvent(QCloseEvent *event)
{
    event->ignore();
    auto *child = qobject_cast<ChildWindow *>(widget());
    if (!child || !child->closeInstead()) showMinimized();
}
