#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "ports/OutputQueue.h"

class QObject;
class QSocketNotifier;

namespace pv {

// The sending half of a channel on a non-blocking descriptor: writes at once what the
// descriptor takes, queues the rest (bounded) and writes it when the descriptor is writable,
// on the owner's event loop. Nothing here ever waits.
class FdOutput {
  public:
    // shrank runs after queued bytes have left.
    FdOutput(QObject* owner, std::function<void()> shrank);
    ~FdOutput();
    FdOutput(const FdOutput&) = delete;
    FdOutput& operator=(const FdOutput&) = delete;

    void attach(int fd);
    // Stops using the descriptor; returns how many queued bytes that dropped.
    size_t detach();
    // Returns how many of the bytes were refused: what did not fit the queue, or all of them
    // after a write failed (error() says why).
    size_t send(const uint8_t* data, size_t count);
    // Drops what waits and forgets a failure; returns how many bytes that was.
    size_t clear();
    size_t backlog() const { return queue_.size(); }
    // While held, sent bytes only queue; released, they leave together, so many small blocks
    // cost one write instead of one each.
    void hold(bool on);
    // errno of the write that failed, 0 while writes work.
    int error() const { return error_; }

  private:
    void drain();
    // Writes queued bytes until the descriptor is full; false when it failed.
    bool writeQueued();

    QObject* owner_;
    std::function<void()> shrank_;
    int fd_ = -1;
    int error_ = 0;
    bool held_ = false;
    OutputQueue queue_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace pv
