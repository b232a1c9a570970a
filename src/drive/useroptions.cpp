#include "useroptions.h"

#include <QDir>
#include <QSettings>

QSettings UserSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("orvex"), QStringLiteral("orvex"));
}

namespace {

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
    {"options/takeRepliesWhole", &UserOptions::takeRepliesWhole},
    {"options/readEachBlockTwice", &UserOptions::readEachBlockTwice},
};

}  // namespace

UserOptions LoadUserOptions()
{
    const QSettings s = UserSettings();
    UserOptions o;
    for (const Item &i : Items) o.*i.flag = s.value(QLatin1String(i.key), o.*i.flag).toBool();
    return o;
}

void SaveUserOptions(const UserOptions &options)
{
    QSettings s = UserSettings();
    for (const Item &i : Items) s.setValue(QLatin1String(i.key), options.*i.flag);
}

QString LastFolder(const QString &kind)
{
    if (kind.isEmpty()) return {};
    const QString folder = UserSettings().value(QStringLiteral("folders/") + kind).toString();
    return !folder.isEmpty() && QDir(folder).exists() ? folder : QString();
}

void RememberFolder(const QString &kind, const QString &folder)
{
    if (kind.isEmpty() || folder.isEmpty()) return;
    UserSettings().setValue(QStringLiteral("folders/") + kind, folder);
}
