#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/ConsoleMonitor.h"

namespace pv {

// The headless monitor's printing, off the relay's path: the main thread only appends each
// block to a bounded buffer; a thread of its own swaps that buffer for an empty one, turns the
// blocks into rows (ConsoleMonitor) and writes them to the descriptor, however slowly it takes
// them. The lock is held for the append and the swap only, never while rows are formatted or
// written. When the output falls so far behind that the buffer is full, the blocks that do not
// fit are not shown and a line says how many bytes that was; the traffic never waits for the
// output.
class MonitorOutput {
  public:
    static constexpr size_t kQueueBytes = size_t{2} << 20;
    // Blocks are gathered for at most this long, or until kBatchBytes wait.
    static constexpr int kFrameMs = 20;
    static constexpr size_t kBatchBytes = 256 * 1024;
    // A row that stops filling is printed after this pause, so a person sees every byte soon.
    static constexpr int kRowFlushMs = 100;

    // Told once, on the printing thread, why the printing stopped when the output failed.
    using FailureReport = std::function<void(const std::string& text)>;

    explicit MonitorOutput(int fd, const TimeViewOptions& times = {}, FailureReport failed = {});
    // Prints what is still queued, giving up on an output that then takes nothing for kGiveUpMs.
    ~MonitorOutput();
    MonitorOutput(const MonitorOutput&) = delete;
    MonitorOutput& operator=(const MonitorOutput&) = delete;

    // A block of a side, read at `at`.
    void feed(bool sideA, const uint8_t* data, int count, const Stamp& at = {});
    // False once the reader went away (a closed pipe): nothing more is printed.
    bool alive() const;

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr int kGiveUpMs = 300;
    static constexpr int kNiceBelowRelay = 10;
    // Formatted text is written whenever this much has gathered, so it never grows large.
    static constexpr size_t kWriteBytes = 256 * 1024;
    // One queued block: a header of side ('A' or 'B'), length and time, then the bytes; or a
    // header of kUnshownMark with the count of bytes left out there.
    struct Header {
        uint8_t kind;
        uint32_t length;
        Stamp at;
    };
    static constexpr size_t kHeaderBytes = sizeof(Header);
    static constexpr uint8_t kUnshownMark = '-';

    void run();
    void waitForWork(std::unique_lock<std::mutex>& lock, Clock::time_point lastBytes);
    bool hasWork() const { return !incoming_.empty() || unshown_ > 0; }
    void append(const Header& header, const uint8_t* data);
    bool printAndWrite(std::string& lines, long long unshown, bool stopping, Clock::duration quiet);
    bool print(std::string& lines, long long unshownAfter);
    void sayUnshown(long long count, std::string& lines);
    bool write(const std::string& lines);
    // Whether a pipe, socket or terminal takes a write of kWriteChunk now.
    enum class Room { Ready, NotYet, Gone };
    Room awaitRoom(Clock::time_point lastTaken);

    int fd_;
    FailureReport failed_;
    int writeError_ = 0;    // errno of the failed write; 0 when the output was stuck at the end
    bool printing_ = true;  // the thread's copy of alive_
    bool direct_;           // writes need no poll() first
    ConsoleMonitor rows_;   // the thread's alone
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<uint8_t> incoming_;  // filled by feed
    std::vector<uint8_t> working_;   // the thread's alone
    long long unshown_ = 0;          // bytes left out since the last block that was queued
    bool idle_ = false;              // the thread sleeps until a block comes
    bool urged_ = false;             // the thread was woken for a full batch
    std::atomic<bool> stopping_{false};
    bool alive_ = true;
    std::thread thread_;
};

}  // namespace pv
