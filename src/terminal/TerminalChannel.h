#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "ports/Channel.h"
#include "terminal/TerminalScreen.h"

namespace pv {

// Where the terminal shows what side A received and the local echo: the window's text area
// model, or a console. A console may not take everything at once; what waits there is its
// backlog, and it calls TerminalChannel::outputShrank when some of it has left.
class TerminalOutput {
  public:
    virtual ~TerminalOutput() = default;
    virtual void show(std::string_view bytes) = 0;
    // Removes the last character shown (Backspace with the local echo).
    virtual ShownRemoval removeLast() = 0;
    virtual size_t backlog() const { return 0; }
};

// The terminal as side B's channel. Bytes forwarded to side B go to the terminal's output;
// what the user typed or pasted waits here, block by block and in order, until the receive
// path reads it into the B to A chain. One read takes one block (or the first kCaptureSize
// bytes of a longer one), so every key press stays a block of its own. While reading is
// paused (side A's backlog is high) the input simply waits, so a long paste never floods
// side A and what is typed meanwhile goes behind it.
class TerminalChannel : public Channel {
    Q_OBJECT

  public:
    // The most input that may wait; a paste that would pass it is refused whole.
    static constexpr size_t kMaxPendingInput = size_t{32} << 20;

    explicit TerminalChannel(QObject* parent = nullptr);

    void setOutput(TerminalOutput* output) { output_ = output; }
    TerminalOutput* output() const { return output_; }

    void send(const uint8_t* data, int count) override;
    size_t backlog() const override;
    int read(uint8_t* buffer, int capacity) override;

    // Adds a block of input behind what waits; false (and nothing added) when it would pass
    // kMaxPendingInput.
    bool queueInput(std::string_view block);
    size_t pendingInput() const { return pendingBytes_; }
    // Drops the input that waits; returns how many bytes that was.
    size_t dropInput();
    // The console took some of its backlog.
    void outputShrank() { emit backlogShrank(); }

  signals:
    // Some of the pending input went into the B to A chain.
    void inputRead();

  protected:
    void applyReading(bool on) override;

  private:
    // Says once, from the event loop, that input waits; never from inside a call of the
    // receive path, so a long paste never nests.
    void announce();

    TerminalOutput* output_ = nullptr;
    std::deque<std::string> pending_;
    size_t frontTaken_ = 0;  // bytes of the first block already read
    size_t pendingBytes_ = 0;
    bool announced_ = false;
};

}  // namespace pv
