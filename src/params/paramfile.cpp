#include "paramfile.h"

#include <QtEndian>

QByteArray EncodeParamFile(const ParamValues &values)
{
    QByteArray bytes(ParamFileSize, '\0');
    for (std::size_t k = 0; k < values.size(); ++k) qToLittleEndian<qint32>(values[k], bytes.data() + 4 * k);
    return bytes;
}

std::optional<ParamValues> DecodeParamFile(QByteArrayView bytes)
{
    if (bytes.size() != ParamFileSize) return std::nullopt;
    ParamValues values{};
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = qFromLittleEndian<qint32>(bytes.data() + 4 * k);
    return values;
}
