#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <cstdint>
#include <vector>

#include "datapath/PortSide.h"
#include "manipulation/ExchangeRunner.h"

namespace pv {

// What the chains do with a block once it has been forwarded: the trigger, the display step and
// the log. The line monitor supplies them.
class BlockSteps {
  public:
    virtual ~BlockSteps() = default;
    // A block of side A after it went on to side B.
    virtual void forwardedA(const uint8_t* data, int count) = 0;
    // A block of side B after it went on to side A.
    virtual void forwardedB(const uint8_t* data, int count) = 0;
};

// The receive path and forwarding: reads what a side's channels received, runs the A to B chain
// (local echo, eXchange, forwarding, then the steps) or the B to A chain (local echo,
// forwarding, then the steps), and passes pressure back. Runs on the main thread and never
// waits: forwarding hands the bytes to the target's channels, whose queues take what cannot go
// at once. Above Channel::kHighWater of backlog toward a side, the channels that feed it are
// not read until it falls below Channel::kLowWater.
//
// Nothing here runs a nested event loop. Should a block's steps ever do so, a channel that
// becomes readable meanwhile is paused and read after the block is done, so blocks never
// overtake each other.
class ReceivePath : public QObject {
    Q_OBJECT

  public:
    ReceivePath(PortSide& sideA, PortSide& sideB, BlockSteps& steps, QObject* parent = nullptr);

    // The side reads and writes the channel from now on.
    void attach(Side s, Channel& channel);
    // The side's channels are closed: none of them is read or written any more.
    void detachAll(Side s);
    // A side started or stopped: a stopped side is neither read nor fed, and presses on no one.
    void sideChanged(Side s);

    // Reads both serial sides, as on every notification of a serial port.
    void OnSerialReceive();
    void ProcessBlockA();
    void ProcessBlockB();
    // Feeds bytes into the B to A chain as side B's (the terminal's input enters here).
    void receiveB(const uint8_t* data, int count);

    ExchangeRunner& exchange() { return exchange_; }
    // The side's backlog: the fullest of its channels' queues.
    size_t backlog(Side s) const;
    bool pressured(Side s) const { return pressured_[index(s)]; }
    // Bytes read from the serial ports since the last call.
    int takeRxPerSecond();
    // A new start of side A: nothing of its last run waits or counts.
    void resetSideA();

  signals:
    // Some of the backlog toward the side has left.
    void backlogShrank(Side s);

  private:
    static int index(Side s) { return s == Side::A ? 0 : 1; }
    PortSide& side(Side s) { return s == Side::A ? sideA_ : sideB_; }
    const PortSide& side(Side s) const { return s == Side::A ? sideA_ : sideB_; }
    void onReadyRead(Side s, Channel& channel);
    void onBacklogShrank(Side s);
    void receive(Side s, Channel& channel);
    void receiveSerialA();
    void appendToSideA(const uint8_t* data, int count);
    void echo(PortSide& from, const uint8_t* data, int count);
    void forward(Side target, const uint8_t* data, int count);
    void updatePressure(Side target);
    void applyPauses();

    // Marks the time a block is in hand; the outermost one ends with the held-back channels
    // read again.
    class Pass {
      public:
        explicit Pass(ReceivePath& path) : path_(path) { ++path_.depth_; }
        ~Pass();
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

      private:
        ReceivePath& path_;
    };

    PortSide& sideA_;
    PortSide& sideB_;
    BlockSteps& steps_;
    ExchangeRunner exchange_{sideA_, [this] { ProcessBlockA(); }};
    std::array<uint8_t, PortSide::kCaptureSize> readBuffer_{};
    bool pressured_[2] = {false, false};
    int depth_ = 0;
    // Channels that became readable while a block was in hand; read once it is done.
    std::vector<QPointer<Channel>> heldBack_;
    int idleCount_ = 0;
    int rxPerSecond_ = 0;
};

}  // namespace pv
