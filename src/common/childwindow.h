#pragma once
// A child window of the main window: a caption, and the tag by which the poll
// cycle picks the window's request while it is the active child window.

#include <QMdiSubWindow>
#include <QWidget>
#include <functional>

class ChildWindow : public QWidget {
    Q_OBJECT
public:
    ChildWindow(const QString &name, const QString &caption, const QString &tag, QWidget *parent = nullptr);
    const QString &tag() const { return m_tag; }

private:
    QString m_tag;
};

// The frame of a child window inside the main window. Asking to close it
// minimises it instead (its contents, tag and place in the poll stay), unless
// the window says otherwise.
class ChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit ChildFrame(QWidget *parent = nullptr);
    // Runs instead of minimising when the user asks to close the window.
    std::function<void()> onCloseRequest;

protected:
    void closeEvent(QCloseEvent *event) override;
};
