#pragma once

#include "ports/Channel.h"
#include "ports/OutputQueue.h"

namespace pv {

class CSocketClass;

// The TCP link as the channel of the network side: blocks leave as data frames, payloads that
// arrive are read like any other channel's bytes. While reading is paused the link reads
// nothing more from its socket, so TCP holds the peer back.
//
// Blocks for a link without a peer cannot go anywhere: they are dropped and counted, the
// link's reason ("Socket is not initialised !") is said once, and when the episode ends (a peer
// is there again, or the side stops) how many bytes it cost.
class NetworkChannel : public Channel {
    Q_OBJECT

  public:
    explicit NetworkChannel(CSocketClass& link, QObject* parent = nullptr);
    ~NetworkChannel() override;

    void send(const uint8_t* data, int count) override;
    size_t backlog() const override;
    int read(uint8_t* buffer, int capacity) override;
    // The side stops using the link: payloads not read yet are dropped, and an open episode of
    // refused blocks is reported.
    void finish();

  protected:
    void applyReading(bool on) override;

  private:
    void followInbound();
    void onPayload(const uint8_t* data, int length);
    void handOn();
    void endRefusedEpisode();

    CSocketClass& link_;
    OutputQueue inbound_;
    bool announcing_ = false;
    int refusedCode_ = 0;  // the error of the episode of refused blocks, 0 when there is none
    long long refusedBytes_ = 0;
};

}  // namespace pv
