#pragma once
// A child window of the main window: a caption, and the tag by which the poll
// cycle picks the window's request while it is the active child window.

#include <QMdiSubWindow>
#include <QWidget>

class ChildWindow : public QWidget {
    Q_OBJECT
public:
    ChildWindow(const QString &name, const QString &caption, const QString &tag, QWidget *parent = nullptr);
    const QString &tag() const { return m_tag; }
    // Asked when the user closes the window's frame: a window that does
    // something else instead (and says so, true) is not minimised.
    virtual bool closeInstead() { return false; }
    // The control the window opens on (else the first of its tab order).
    void setFirstFocus(QWidget *control) { m_firstFocus = control; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString m_tag;
    QWidget *m_firstFocus = nullptr;
    bool m_shown = false;
};

// The frame of a child window inside the main window. Asking to close it
// minimises it instead (its contents, tag and place in the poll stay), unless
// the window does something else instead (ChildWindow::closeInstead).
class ChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit ChildFrame(QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;
};
