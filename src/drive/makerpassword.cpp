#include "makerpassword.h"

#include <QString>

bool IsMakerPassword(QStringView typed)
{
    return typed == QLatin1String("KPZW");
}
