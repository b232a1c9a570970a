#pragma once
// A record of every request and reply the simulated drive exchanged, with
// time stamps: in memory (for tests), in a file (for people and benchmarks),
// or both. Safe to use from several threads.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

struct TranscriptEntry {
    enum class Kind { Request, Reply, Event };
    std::uint64_t index = 0;  // position since the start, never reused
    double seconds = 0;       // since the server started
    Kind kind = Kind::Event;
    std::string text;         // request or reply text without start and end characters; an event's words
    std::string wire;         // what went over the line (replies; empty when nothing did)
    std::string note;         // the faults applied, "dropped", "no answer", ...
};

class Transcript {
public:
    // An empty path writes no file. The memory keeps the newest entries only.
    explicit Transcript(const std::string &path = {}, bool inMemory = true, std::size_t memoryLimit = 200'000);
    ~Transcript();
    Transcript(const Transcript &) = delete;
    Transcript &operator=(const Transcript &) = delete;

    void add(TranscriptEntry::Kind kind, double seconds, std::string text, std::string wire = {}, std::string note = {});

    // Entries with index >= from, oldest first.
    std::vector<TranscriptEntry> since(std::uint64_t from = 0) const;
    // How many entries were ever added.
    std::uint64_t count() const;
    // Waits until more than `seen` entries were added, or the time is up.
    bool waitBeyond(std::uint64_t seen, std::chrono::milliseconds timeout) const;
    bool fileOk() const { return m_file != nullptr || m_path.empty(); }

    // A line of the file: time, direction and the text with control characters named.
    static std::string formatLine(const TranscriptEntry &e);
    // Control characters as <STX>, <EOT>, <ETX> or \xNN.
    static std::string visible(const std::string &bytes);

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_added;
    std::deque<TranscriptEntry> m_entries;
    std::uint64_t m_count = 0;
    std::string m_path;
    bool m_inMemory;
    std::size_t m_limit;
    std::FILE *m_file = nullptr;
};

}  // namespace sim
