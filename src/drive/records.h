#pragma once
// The program's files are fixed-length records of little-endian whole numbers
// without a header: N numbers of one type, in order.

#include <QByteArray>
#include <QByteArrayView>
#include <QtEndian>
#include <array>
#include <optional>

template <class T, std::size_t N>
QByteArray EncodeRecord(const std::array<T, N> &values)
{
    QByteArray bytes(qsizetype(sizeof(T) * N), '\0');
    for (std::size_t i = 0; i < N; ++i) qToLittleEndian<T>(values[i], bytes.data() + sizeof(T) * i);
    return bytes;
}

// The numbers of one record; nothing unless the bytes are exactly one record long.
template <class T, std::size_t N>
std::optional<std::array<T, N>> DecodeRecord(QByteArrayView bytes)
{
    if (bytes.size() != qsizetype(sizeof(T) * N)) return std::nullopt;
    std::array<T, N> values{};
    for (std::size_t i = 0; i < N; ++i) values[i] = qFromLittleEndian<T>(bytes.data() + sizeof(T) * i);
    return values;
}
