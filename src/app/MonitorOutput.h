#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "app/ConsoleMonitor.h"
#include "ports/OutputQueue.h"

namespace pv {

// The headless monitor's printing, off the relay's path: the main thread only copies each
// block into a bounded queue; a thread of its own turns the blocks into rows (ConsoleMonitor)
// a frame at a time and writes them to the descriptor, however slowly it takes them. When the
// output falls so far behind that the queue is full, the blocks that do not fit are not shown
// and a line says how many bytes that was; the traffic itself never waits for the output.
class MonitorOutput {
  public:
    static constexpr size_t kQueueBytes = size_t{4} << 20;
    static constexpr int kFrameMs = 20;
    // A row that stops filling is printed after this pause, so a person sees every byte soon.
    static constexpr int kRowFlushMs = 100;

    explicit MonitorOutput(int fd, const TimeViewOptions& times = {});
    // Prints what is still queued, giving up on an output that then takes nothing for kGiveUpMs.
    ~MonitorOutput();
    MonitorOutput(const MonitorOutput&) = delete;
    MonitorOutput& operator=(const MonitorOutput&) = delete;

    // A block of a side, read at `at`.
    void feed(bool sideA, const uint8_t* data, int count, const Stamp& at = {});
    // False once the reader went away (a closed pipe): nothing more is printed.
    bool alive() const;

  private:
    static constexpr int kGiveUpMs = 300;
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
    void push(const Header& header);
    Header pop();
    void format(std::string& lines);
    void sayUnshown(long long count, std::string& lines);
    bool write(const std::string& lines);

    int fd_;
    ConsoleMonitor rows_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    OutputQueue queue_{kQueueBytes};
    long long unshown_ = 0;  // bytes left out since the last block that was queued
    std::atomic<bool> stopping_{false};
    bool alive_ = true;
    std::thread thread_;
};

}  // namespace pv
