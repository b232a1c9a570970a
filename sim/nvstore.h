#pragma once
// The drive's non-volatile memory: parameters, point table and alarm history
// as they were last kept. Optionally backed by a text file so that what was
// kept survives the simulator itself; without a file it lives as long as the
// object.

#include "drivetables.h"

#include <array>
#include <cstdint>
#include <string>

namespace sim {

inline constexpr int AlarmHistoryLength = 8;
using AlarmHistory = std::array<std::uint32_t, AlarmHistoryLength>;  // entry 0 newest

class NvStore {
public:
    // Factory contents; with a path, the file's contents over them where it
    // can be read (a missing or damaged file leaves factory values and is not
    // touched until the next write).
    explicit NvStore(std::string path = {});

    Parameters parameters;
    PointTable points;
    AlarmHistory history{};

    // Writes the file, if there is one, through a temporary file so that a
    // failed write leaves the old contents. False when it could not be written.
    bool save() const;
    const std::string &path() const { return m_path; }
    // Lines of the file that could not be read at the last load.
    int rejectedLines() const { return m_rejected; }

private:
    void load();

    std::string m_path;
    int m_rejected = 0;
};

}  // namespace sim
