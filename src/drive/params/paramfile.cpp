#include "paramfile.h"

#include "drive/records.h"

QByteArray EncodeParamFile(const ParamValues &values) { return EncodeRecord(values); }

std::optional<ParamValues> DecodeParamFile(QByteArrayView bytes) { return DecodeRecord<qint32, ParamCount>(bytes); }
