#pragma once

#include <array>
#include <cstdint>

namespace pv {

// The unit on the TCP link: a type byte, a 16-bit big-endian payload length, the payload.
// Both directions use it; type 0 carries data, other types are read and ignored.
namespace DataFrame {
constexpr int kHeaderSize = 3;
constexpr int kMaxPayload = 10240;
constexpr int kMaxFrame = kHeaderSize + kMaxPayload;
constexpr uint8_t kTypeData = 0;

using Buffer = std::array<uint8_t, kMaxFrame>;

// Writes a data frame for the block into frame and returns its size (length + 3), or 0 when the
// block does not fit one frame (negative or above kMaxPayload); the caller splits larger blocks.
int encode(const uint8_t* block, int length, Buffer& frame);
}  // namespace DataFrame

// Cuts frames out of a byte stream that arrives in pieces of any size. The reader keeps its
// place between reads, so a short read never shifts the next header. Payloads are collected in
// a fixed area; a length beyond that area (only a foreign peer sends one) is handed out in parts
// of kMaxPayload bytes rather than dropped or written past the end.
class DataFrameReader {
  public:
    // Takes bytes until a payload is ready or the bytes run out; returns how many it took. While
    // a payload is ready it takes nothing more, so the caller must release it first.
    int read(const uint8_t* data, int length);

    bool hasPayload() const { return ready_; }
    const uint8_t* payload() const { return payload_.data(); }
    int payloadLength() const { return filled_; }
    void releasePayload();

    // The stream ended: what arrived of an unfinished data payload becomes the ready payload
    // (true), and a partial header is dropped. The reader then waits for a fresh header.
    bool finish();
    void reset();
    bool midFrame() const { return headerFilled_ > 0 || remaining_ > 0; }

  private:
    std::array<uint8_t, DataFrame::kHeaderSize> header_{};
    int headerFilled_ = 0;
    uint8_t type_ = 0;
    int remaining_ = 0;  // payload bytes of the current frame still to come
    std::array<uint8_t, DataFrame::kMaxPayload> payload_{};
    int filled_ = 0;
    bool ready_ = false;
};

}  // namespace pv
