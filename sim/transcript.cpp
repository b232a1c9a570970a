#include "transcript.h"

#include <algorithm>
#include <cinttypes>

namespace sim {

Transcript::Transcript(const std::string &path, bool inMemory, std::size_t memoryLimit)
    : m_path(path), m_inMemory(inMemory), m_limit(std::max<std::size_t>(memoryLimit, 1))
{
    if (!path.empty()) m_file = std::fopen(path.c_str(), "a");
}

Transcript::~Transcript()
{
    if (m_file) std::fclose(m_file);
}

void Transcript::add(TranscriptEntry::Kind kind, double seconds, std::string text, std::string wire, std::string note)
{
    {
        std::lock_guard lock(m_mutex);
        TranscriptEntry e{m_count++, seconds, kind, std::move(text), std::move(wire), std::move(note)};
        if (m_file) {
            const std::string line = formatLine(e);
            std::fputs(line.c_str(), m_file);
            std::fflush(m_file);
        }
        if (m_inMemory) {
            m_entries.push_back(std::move(e));
            if (m_entries.size() > m_limit) m_entries.pop_front();
        }
    }
    m_added.notify_all();
}

std::vector<TranscriptEntry> Transcript::since(std::uint64_t from) const
{
    std::lock_guard lock(m_mutex);
    std::vector<TranscriptEntry> out;
    for (const TranscriptEntry &e : m_entries)
        if (e.index >= from) out.push_back(e);
    return out;
}

std::uint64_t Transcript::count() const
{
    std::lock_guard lock(m_mutex);
    return m_count;
}

bool Transcript::waitBeyond(std::uint64_t seen, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_added.wait_for(lock, timeout, [&] { return m_count > seen; });
}

std::string Transcript::visible(const std::string &bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c == 0x02) out += "<STX>";
        else if (c == 0x03) out += "<ETX>";
        else if (c == 0x04) out += "<EOT>";
        else if (c < 0x20 || c >= 0x7F || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string Transcript::formatLine(const TranscriptEntry &e)
{
    const char *arrow = e.kind == TranscriptEntry::Kind::Request ? ">" : e.kind == TranscriptEntry::Kind::Reply ? "<" : "*";
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.6f", e.seconds);
    std::string line = std::string(stamp) + ' ' + arrow + ' ' + visible(e.text);
    if (e.kind == TranscriptEntry::Kind::Reply && !e.wire.empty() && e.wire != "\x02" + e.text + "\x04")
        line += "  wire=" + visible(e.wire);
    if (!e.note.empty()) line += "  [" + e.note + "]";
    return line + '\n';
}

}  // namespace sim
