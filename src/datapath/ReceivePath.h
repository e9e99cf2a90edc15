#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "ports/ChannelHub.h"
#include "ports/PortSide.h"

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

// What stands between side A's buffer and the A to B chain (eXchange): it takes the buffer after
// every arrival and hands on, through ProcessBlockA, whatever it has decided.
class AtoBStage {
  public:
    virtual ~AtoBStage() = default;
    virtual void ExchangePass() = 0;
    // What it holds back goes on now, unchanged.
    virtual void Release() = 0;
    virtual bool holding() const = 0;
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
class ReceivePath : public QObject, public ChannelHub {
    Q_OBJECT

  public:
    ReceivePath(PortSide& sideA, PortSide& sideB, BlockSteps& steps, QObject* parent = nullptr);

    // The stage of side A's bytes before the chain; none: every arrival goes straight on.
    void setStage(AtoBStage* stage) { stage_ = stage; }
    // Sees every block of side A after eXchange and before it is forwarded (the recorder).
    using BlockHook = std::function<void(const uint8_t* data, int count)>;
    void setRecordHook(BlockHook hook) { recordHook_ = std::move(hook); }

    void attach(Side s, Channel& channel) override;
    void detachAll(Side s) override;
    void sideChanged(Side s) override;
    void releaseHeldA() override;
    size_t backlog(Side s) const override;

    // Reads both serial sides, as on every notification of a serial port.
    void OnSerialReceive();
    void ProcessBlockA();
    void ProcessBlockB();
    // Feeds bytes into the B to A chain as side B's (the terminal's input enters here).
    void receiveB(const uint8_t* data, int count);

    bool pressured(Side s) const { return pressured_[index(s)]; }
    // Bytes read from the serial ports since the last call.
    int takeRxPerSecond();

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
    void runStage();
    bool holding() const { return stage_ != nullptr && stage_->holding(); }
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
    AtoBStage* stage_ = nullptr;
    BlockHook recordHook_;
    std::array<uint8_t, PortSide::kCaptureSize> readBuffer_{};
    bool pressured_[2] = {false, false};
    int depth_ = 0;
    // Channels that became readable while a block was in hand; read once it is done.
    std::vector<QPointer<Channel>> heldBack_;
    int idleCount_ = 0;
    int rxPerSecond_ = 0;
};

}  // namespace pv
