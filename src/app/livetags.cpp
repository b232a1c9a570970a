#include "livetags.h"

#include "common/childwindow.h"

#include <QMdiArea>
#include <QMdiSubWindow>

QStringList LiveTags(const QMdiArea &area)
{
    QStringList tags;
    const QMdiSubWindow *active = area.currentSubWindow();
    for (const QMdiSubWindow *sub : area.subWindowList(QMdiArea::CreationOrder)) {
        const auto *child = qobject_cast<const ChildWindow *>(sub->widget());
        if (!child || child->tag().isEmpty()) continue;
        if (sub == active || (!sub->isMinimized() && !sub->isHidden())) tags << child->tag();
    }
    return tags;
}
