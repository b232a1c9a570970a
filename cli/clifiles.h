#pragma once
// The files the command-line tool reads and writes, chosen by extension:
// parameter sets as .pxt (the parameter window's file), .csv or .json; point
// tables as .ptt, .csv or .json; captures as .wvt, .csv or .json. Every
// reader refuses a file of the wrong kind or length, a value that is not a
// whole number in range, and anything that is not a plain file, with the
// reason in error.

#include "drive/drivedata.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

enum class FileKind { Binary, Csv, Json, Unknown };
// By extension, case ignored; binary is the given native extension ("pxt").
FileKind KindOfFile(const QString &path, const QString &nativeExtension);

// The whole of a plain file of at most limit bytes.
std::optional<QByteArray> ReadInputFile(const QString &path, qint64 limit, QString *error);
// Written as a whole new file: an old one is replaced only once it is complete.
bool WriteOutputFile(const QString &path, const QByteArray &bytes, QString *error);

// Parameters: count is 40 for the user's set or 60 with the maker's.
QJsonObject ParametersJson(const ParamValues &values, int count);
QByteArray EncodeParameters(FileKind kind, const ParamValues &values, int count);
// Reads a parameter file over base (the values a file does not name; none
// known: zeros, and no message says what an entry held before). Its values go
// through the parameter window's entry checks; maker: 40-59 too. asIs takes
// the values of a .pxt file as they are (a backup of what a drive held).
std::optional<ParamValues> DecodeParameters(const QString &path, const ParamValues *base, bool maker, QString *error,
                                            bool asIs = false);

QJsonObject PointsJson(const PointTable &table);
QByteArray EncodePoints(FileKind kind, const PointTable &table);
// Reads a point table file over base, as DecodeParameters does.
std::optional<PointTable> DecodePoints(const QString &path, const PointTable *base, QString *error, bool asIs = false);

// A capture; motorTypeUnits as the analysis takes it (0: as the drive records).
QJsonObject CaptureJson(const Capture &capture, int motorTypeUnits);
QByteArray EncodeCapture(FileKind kind, const Capture &capture, const QString &name, int motorTypeUnits);
