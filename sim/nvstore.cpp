#include "nvstore.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

constexpr const char *Header = "orvex-drive-nv 1";

}  // namespace

NvStore::NvStore(std::string path) : parameters(FactoryParameters()), points(FactoryPoints()), m_path(std::move(path))
{
    if (!m_path.empty()) load();
}

void NvStore::load()
{
    std::ifstream in(m_path);
    if (!in) return;
    std::string line;
    if (!std::getline(in, line) || line != Header) {
        m_rejected = 1;
        return;  // not ours: keep factory values, leave the file alone
    }
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        long long index = -1;
        long long value = 0;
        std::string rest;
        if (!(words >> kind >> index >> value) || (words >> rest) || value < INT32_MIN || value > UINT32_MAX) {
            ++m_rejected;
            continue;
        }
        if (kind == "param" && index >= 0 && index < ParameterCount) {
            parameters[index] = static_cast<std::int32_t>(value);
        } else if (kind == "point" && index >= 0 && index < PointCount * PointColumns) {
            points[index] = static_cast<std::int32_t>(value);
        } else if (kind == "history" && index >= 0 && index < AlarmHistoryLength && value >= 0) {
            history[index] = static_cast<std::uint32_t>(value);
        } else {
            ++m_rejected;
        }
    }
}

bool NvStore::save() const
{
    if (m_path.empty()) return true;
    const std::string temp = m_path + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        if (!out) return false;
        out << Header << '\n';
        for (int k = 0; k < ParameterCount; ++k) out << "param " << k << ' ' << parameters[k] << '\n';
        for (int i = 0; i < PointCount * PointColumns; ++i) out << "point " << i << ' ' << points[i] << '\n';
        for (int j = 0; j < AlarmHistoryLength; ++j) out << "history " << j << ' ' << history[j] << '\n';
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    return std::rename(temp.c_str(), m_path.c_str()) == 0;
}

}  // namespace sim
