#pragma once
// Files that hold a secret (a password, a private key) are taken as ssh
// takes a private key: only a plain file that nobody but its owner may read
// or change. A named pipe or a device is refused without being opened, so
// nothing waits on it. The errors name the file, never its content.
//
// Any other file given by name and read at once (a CA certificate, a list
// of ports) is taken only as a plain file too, without the owner's rule.

#include <QByteArray>
#include <QString>
#include <optional>

// Why the file may not hold a secret (what: "the MQTT password file");
// empty when it may.
QString SecretFileProblem(const QString &path, const QString &what);

// The whole file, at most limit bytes, when SecretFileProblem has nothing
// against it; otherwise nothing, and why in error.
std::optional<QByteArray> ReadSecretFile(const QString &path, const QString &what, qint64 limit, QString *error);

// Why the file cannot be read at once as a plain file (missing, a named pipe
// or a device, unreadable); empty when it can. Nothing is opened that could
// wait: a pipe would wait in open() for a writer.
QString PlainFileProblem(const QString &path, const QString &what);

// The whole of a plain file of at most limit bytes; nothing, and why in
// error, when PlainFileProblem has something against it or it is larger.
std::optional<QByteArray> ReadPlainFile(const QString &path, const QString &what, qint64 limit, QString *error);
