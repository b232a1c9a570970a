#pragma once
// Files that hold a secret (a password, a private key) are taken as ssh
// takes a private key: only a plain file that nobody but its owner may read
// or change. A named pipe or a device is refused without being opened, so
// nothing waits on it. The errors name the file, never its content.

#include <QByteArray>
#include <QString>
#include <optional>

// Why the file may not hold a secret (what: "the MQTT password file");
// empty when it may.
QString SecretFileProblem(const QString &path, const QString &what);

// The whole file, at most limit bytes, when SecretFileProblem has nothing
// against it; otherwise nothing, and why in error.
std::optional<QByteArray> ReadSecretFile(const QString &path, const QString &what, qint64 limit, QString *error);
