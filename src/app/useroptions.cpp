#include "useroptions.h"

#include <QSettings>

namespace {

QSettings userSettings() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("orvex"), QStringLiteral("orvex")); }

const QString HoldToJogKey = QStringLiteral("options/holdToJog");

}  // namespace

UserOptions LoadUserOptions()
{
    const QSettings s = userSettings();
    UserOptions o;
    o.holdToJog = s.value(HoldToJogKey, false).toBool();
    return o;
}

void SaveUserOptions(const UserOptions &options)
{
    QSettings s = userSettings();
    s.setValue(HoldToJogKey, options.holdToJog);
}
