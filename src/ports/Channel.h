#pragma once

#include <QObject>
#include <cstddef>
#include <cstdint>
#include <string>

namespace pv {

// One way into and out of a side: a serial port, a virtual port, the TCP link or the terminal.
// The data path treats them all alike: it reads what readyRead announces, and hands bytes on
// with send, which never waits. What a channel cannot pass on at once waits in its bounded
// output queue (backlog) and leaves when the far end takes it. Above kHighWater of backlog
// toward a side, the data path stops reading the channels that feed it (pauseReading) until the
// backlog falls below kLowWater; so the kernel and the peers hold the bytes, not our memory.
//
// Bytes a channel has to drop (its queue full, nobody at the far end) are counted, and what
// the user should hear of it comes as one notice, never as a question. Main thread only.
class Channel : public QObject {
    Q_OBJECT

  public:
    static constexpr size_t kHighWater = 256 * 1024;
    static constexpr size_t kLowWater = 64 * 1024;
    // The most an output queue holds. With reading paused above kHighWater only the block in
    // hand can still arrive, so this is never reached unless something feeds a side unasked.
    static constexpr size_t kQueueBound = 1024 * 1024;

    using QObject::QObject;

    // Passes the bytes on without waiting; what cannot go now is queued, what does not fit the
    // queue is dropped and counted.
    virtual void send(const uint8_t* data, int count) = 0;
    // Bytes accepted by send that have not left yet.
    virtual size_t backlog() const = 0;
    // Takes up to capacity received bytes; never waits, 0 when there are none.
    virtual int read(uint8_t* buffer, int capacity) = 0;
    // While held, what is sent waits and leaves together when released: a run of small blocks
    // (a file upload) then costs one write, not one per block. Channels that write at once
    // anyway ignore it.
    virtual void holdOutput(bool /*on*/) {}

    // While paused, the channel announces nothing and the bytes wait where they are (in the
    // kernel or at the peer).
    void pauseReading();
    void resumeReading();
    bool readingPaused() const { return paused_; }
    long long droppedCount() const { return dropped_; }

  signals:
    // Received bytes wait for read.
    void readyRead();
    // Some of the backlog has left.
    void backlogShrank();
    // Something the user should hear about, said once; never blocks.
    void notice(const std::string& text);

  protected:
    // Starts or stops watching for received bytes.
    virtual void applyReading(bool on) = 0;
    void countDropped(long long count) { dropped_ += count; }

  private:
    bool paused_ = false;
    long long dropped_ = 0;
};

}  // namespace pv
