#include "changemark.h"

#include <QLineEdit>
#include <QVariant>

namespace {
constexpr const char *OwnBase = "orvexOwnBase";
constexpr const char *OwnTip = "orvexOwnTip";
}  // namespace

void MarkChanged(QLineEdit *field, const QString &was)
{
    const bool mark = !was.isNull();
    if (mark == IsMarkedChanged(field) && (!mark || field->property("orvexWas").toString() == was)) return;
    if (mark && !IsMarkedChanged(field)) {
        field->setProperty(OwnBase, field->palette().color(QPalette::Base));
        field->setProperty(OwnTip, field->toolTip());
    }
    const QString ownTip = field->property(OwnTip).toString();
    QPalette pal = field->palette();
    if (mark) {
        const QString note = QStringLiteral("Changed; was %1").arg(was.trimmed());
        pal.setColor(QPalette::Base, ChangedFieldColor);
        pal.setColor(QPalette::Text, Qt::black);
        field->setToolTip(ownTip.isEmpty() ? note : ownTip + QLatin1Char('\n') + note);
        field->setAccessibleDescription(note);
        field->setProperty("orvexWas", was);
    } else {
        pal.setColor(QPalette::Base, field->property(OwnBase).value<QColor>());
        pal.setColor(QPalette::Text, field->parentWidget() ? field->parentWidget()->palette().color(QPalette::Text)
                                                           : pal.color(QPalette::Text));
        field->setToolTip(ownTip);
        field->setAccessibleDescription(QString());
        field->setProperty("orvexWas", QVariant());
    }
    field->setPalette(pal);
}

bool IsMarkedChanged(const QLineEdit *field) { return field->property("orvexWas").isValid(); }
