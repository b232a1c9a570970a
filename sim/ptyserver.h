#pragma once
// Serves a DriveModel on a pseudo-terminal: requests framed by the start and
// end characters are read from the line, answered by the model, and the
// replies written back, paced at the line rate if asked, bent by the fault
// injector, and written down in the transcript. Runs on the calling thread
// (run) or on a thread of its own (start); every other member may be called
// from any thread.

#include "drivemodel.h"
#include "replyshaper.h"
#include "serverconfig.h"
#include "transcript.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace sim {

class PtyServer {
public:
    using Clock = std::chrono::steady_clock;

    explicit PtyServer(ServerConfig config);
    ~PtyServer();
    PtyServer(const PtyServer &) = delete;
    PtyServer &operator=(const PtyServer &) = delete;

    // Opens the pseudo-terminal (and the link). False with a reason on failure.
    bool open(std::string *error = nullptr);
    // Serves until stop(); opens first if need be.
    bool run(std::string *error = nullptr);
    // open() and run() on a thread of its own.
    bool start(std::string *error = nullptr);
    // Ends run() and joins the thread; removes the link.
    void stop();
    bool running() const { return m_running; }

    // The device the program should open: the link if there is one, else the
    // pseudo-terminal itself.
    std::string devicePath() const;
    std::string slavePath() const;

    // Runs f with the model under the server's lock.
    template <class F>
    auto withModel(F &&f)
    {
        std::lock_guard lock(m_mutex);
        return f(m_model);
    }
    void powerCycle();
    void raiseAlarm(int bit);
    FaultConfig faults() const;
    void setFaults(const FaultConfig &faults);
    void setResponseDelay(std::chrono::microseconds delay);
    void setPaced(bool paced);
    // A run of characters without an end character goes out once.
    void flood(std::size_t bytes);
    // The pseudo-terminal goes away and comes back after the given time
    // (under the same link; the pseudo-terminal itself may get another name).
    void vanish(std::chrono::milliseconds for_);

    Transcript &transcript() { return *m_transcript; }
    // Told (on the server's thread) each time the pseudo-terminal opens.
    std::function<void(const std::string &slavePath)> onOpened;

private:
    struct Request {
        std::string text;
        Clock::time_point complete;  // the end character has arrived on the line
    };
    struct Output {
        std::string bytes;
        Clock::time_point notBefore;
        bool endsReply = false;  // the reply goes into the transcript as this is written
    };

    void serve();
    bool openPty(std::string *error);
    void closePty();
    void readLine(Clock::time_point now);
    // Sets the line up afresh when its last client has gone.
    void watchClients(Clock::time_point now);
    void takeCharacter(char c, Clock::time_point arrived);
    void answer(const Request &request, Clock::time_point now);
    // Writes what is due; true when the line takes no more for now.
    bool writeDue(Clock::time_point now);
    void applyControls(Clock::time_point now);
    void wake();
    double seconds(Clock::time_point t) const;
    std::chrono::microseconds modelTime() const;

    ServerConfig m_config;
    mutable std::mutex m_mutex;  // the model, the faults, the shaper and the controls
    DriveModel m_model;
    ReplyShaper m_shaper;
    std::unique_ptr<Transcript> m_transcript;
    Clock::time_point m_started;

    int m_master = -1;
    int m_slave = -1;
    int m_watch = -1;   // inotify: the clients' opens and closes of the slave
    int m_clients = 0;  // how many have it open
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::string m_slavePath;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};

    // Controls from other threads, taken by the server's loop.
    std::size_t m_floodBytes = 0;
    std::chrono::milliseconds m_vanishFor{0};
    bool m_dropQueue = false;

    // The server loop's own state.
    bool m_inRequest = false;
    std::string m_requestText;
    Clock::time_point m_receiveFree;  // when the line has delivered the last character read
    std::deque<Request> m_requests;
    std::deque<Output> m_output;
    Clock::time_point m_replyDone;    // the last character of the reply in progress
    bool m_replyPending = false;      // a reply is on its way out; the next request waits
    TranscriptEntry m_pendingReply;
    Clock::time_point m_backAt;       // a vanished pseudo-terminal comes back
    bool m_vanished = false;
};

}  // namespace sim
