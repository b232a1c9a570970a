#include "useroptions.h"

#include <QSettings>

namespace {

QSettings userSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("orvex"), QStringLiteral("orvex"));
}

struct Item {
    const char *key;
    bool UserOptions::*flag;
};
constexpr Item Items[] = {
    {"options/holdToJog", &UserOptions::holdToJog},
    {"options/backUpBeforeWriting", &UserOptions::backUpBeforeWriting},
    {"options/verifyAfterWriting", &UserOptions::verifyAfterWriting},
    {"options/nameAlarmsInLog", &UserOptions::nameAlarmsInLog},
    {"options/keepAllMonitorsLive", &UserOptions::keepAllMonitorsLive},
};

}  // namespace

UserOptions LoadUserOptions()
{
    const QSettings s = userSettings();
    UserOptions o;
    for (const Item &i : Items) o.*i.flag = s.value(QLatin1String(i.key), o.*i.flag).toBool();
    return o;
}

void SaveUserOptions(const UserOptions &options)
{
    QSettings s = userSettings();
    for (const Item &i : Items) s.setValue(QLatin1String(i.key), options.*i.flag);
}
