#include "portfile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cmath>
#include <optional>

namespace {

// One whole number in the signed 16-bit range, or nothing.
std::optional<qint16> readNumber(const QString &token)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    if (!number.match(token).hasMatch()) return std::nullopt;
    const double v = std::nearbyint(token.toDouble());
    if (v < -32768 || v > 32767) return std::nullopt;
    return static_cast<qint16>(v);
}

}  // namespace

QString PortFilePath() { return QDir::currentPath() + QStringLiteral("/cp.dat"); }

void ReadPortFile(PortSettings &settings)
{
    settings.PortNo = 1;
    settings.OfflineMode = 0;
    settings.SavePortSettings();

    QFile file(PortFilePath());
    if (!file.open(QIODevice::ReadOnly)) return;
    // Numbers are separated by commas, blanks or line ends; only the first two count.
    const QByteArray head = file.read(4096);
    const QStringList tokens =
        QString::fromLatin1(head).split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    qint16 *targets[] = {&settings.PortNo, &settings.OfflineMode};
    for (int i = 0; i < 2 && i < tokens.size(); ++i) {
        const std::optional<qint16> v = readNumber(tokens[i]);
        if (!v) return;
        *targets[i] = *v;
    }
}

QString PortFileNumber(int value)
{
    return (value < 0 ? QStringLiteral("-") : QStringLiteral(" ")) + QString::number(std::abs(value)) +
           QStringLiteral(" ");
}

SaveResult WritePortFile(const PortSettings &settings)
{
    const int lines[6] = {settings.PortNo, settings.OfflineMode, 0, 0, 0, 0};
    QByteArray text;
    for (int v : lines) text += PortFileNumber(v).toLatin1() + "\r\n";
    return SaveFileWhole(PortFilePath(), text);
}
