#include "makeraccess.h"

#include "drive/makerpassword.h"
#include "drive/secretfile.h"

namespace {

// A file's password is its first line: the line end is not a part of it.
QString withoutLineEnd(QByteArray bytes)
{
    if (bytes.endsWith('\n')) bytes.chop(1);
    if (bytes.endsWith('\r')) bytes.chop(1);
    return QString::fromUtf8(bytes);
}

}  // namespace

void AddMakerPasswordOption(QCommandLineParser &p)
{
    p.addOption({QStringLiteral("maker-password-file"),
                 QStringLiteral("With --maker: the maker's password is in FILE, readable by its owner only "
                                "(else ORVEX_MAKER_PASSWORD, else it is asked at the terminal)."),
                 QStringLiteral("FILE")});
}

QString CheckMakerPassword(Context &c)
{
    const QString variable = QString::fromLatin1(MakerPasswordVariable);
    QString typed;
    QString from;
    if (c.parser.isSet(QStringLiteral("maker-password-file"))) {
        const QString path = c.parser.value(QStringLiteral("maker-password-file"));
        QString error;
        const std::optional<QByteArray> bytes = ReadSecretFile(path, QStringLiteral("the maker's password file"), 4096, &error);
        if (!bytes) return error + QStringLiteral("; nothing was sent to the drives");
        typed = withoutLineEnd(*bytes);
        from = QStringLiteral("in ") + path;
    } else if (qEnvironmentVariableIsSet(MakerPasswordVariable)) {
        typed = qEnvironmentVariable(MakerPasswordVariable);
        from = QStringLiteral("in ") + variable;
    } else {
        QString error;
        const std::optional<QString> answer =
            c.env.askSecret ? c.env.askSecret(QStringLiteral("The maker's password: "), &error) : std::nullopt;
        if (!answer) {
            if (!error.isEmpty()) return error + QStringLiteral("; nothing was sent to the drives");
            return QStringLiteral("--maker writes the maker's parameters 40-59, which needs the maker's password: "
                                  "type it at a terminal, or give it in a file (--maker-password-file FILE) or in %1; "
                                  "nothing was sent to the drives")
                .arg(variable);
        }
        typed = *answer;
        from = QStringLiteral("typed");
    }
    if (!IsMakerPassword(typed))
        return QStringLiteral("the maker's password %1 is wrong; nothing was sent to the drives").arg(from);
    return {};
}
