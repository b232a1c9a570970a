#pragma once
// A record read until two replies in a row carry the same values (a
// character changed on the line into another digit passes every check of a
// single reply): the first reply of a record, or one that differs from the
// one before, is asked for again, and a record whose replies do not agree
// within MaxReads reads is given up.

#include <QtGlobal>
#include <array>
#include <cstddef>
#include <optional>

template <std::size_t N>
class ConfirmedRead {
public:
    static constexpr int MaxReads = 6;
    enum class Verdict { ReadAgain, Agreed, GiveUp };

    // The values of a reply to the record being read.
    Verdict take(const std::array<qint32, N> &values)
    {
        if (m_last == values) {
            reset();
            return Verdict::Agreed;
        }
        m_last = values;
        return ++m_reads >= MaxReads ? Verdict::GiveUp : Verdict::ReadAgain;
    }
    // A new record, or a new read.
    void reset()
    {
        m_last.reset();
        m_reads = 0;
    }

private:
    std::optional<std::array<qint32, N>> m_last;  // the record's last reply
    int m_reads = 0;                              // of the record being read
};
