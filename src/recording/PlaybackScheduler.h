#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recording/MonotonicClock.h"
#include "recording/RecorderFile.h"

namespace pv {

struct PlaybackOptions {
    static constexpr double kMinSpeed = 0.01;
    static constexpr double kMaxSpeed = 1000.0;

    // 2 plays twice as fast as recorded, 0.5 half as fast.
    double speed = 1.0;
    // How often the file is played, back to back; 0: until aborted.
    uint32_t passes = 1;

    static bool validSpeed(double speed) { return speed >= kMinSpeed && speed <= kMaxSpeed; }
};

enum class PlaybackState { idle, running, completed, aborted, failed };

// When which bytes of a recorder file are due, as pure logic: the engine asks for the bytes due
// now, sends them as one block, and sets a timer for when the next is due.
//
// Every byte's time is the start plus the sum of the pauses before it (divided by the speed), so
// late wake-ups never add up: a late call gets all bytes whose time has passed at once, and the
// next one is due when it always was. The file is read a chunk at a time as playback goes on; a
// file that changed since its check ends playback with kTextPlaybackReadFailed.
class PlaybackScheduler {
  public:
    // The most bytes one call hands out; more due bytes come with the next call, due at once.
    static constexpr size_t kMaxBlock = 4096;

    // reader: of a file that passed checkRecorderFile. A speed out of range is taken as 1.
    PlaybackScheduler(RecorderReader& reader, PlaybackOptions options,
                      MonotonicClock& clock = steadyClock());

    // Starts the clock of the playback now and reads the first record.
    void start();
    // The bytes due now, in the file's order (empty when none is). Taking the last byte ends the
    // playback as completed; a file that fails behind these bytes ends it as failed. Either way
    // the bytes returned are to be sent.
    const std::vector<uint8_t>& takeDue();
    // When the next byte is due on the clock, in microseconds; -1 when playback is not running.
    int64_t nextDeadlineUs() const;
    // Whole milliseconds from now until the next byte is due, rounded up (0: due now); -1 when
    // playback is not running.
    int64_t msUntilNext() const;
    // Ends at once; nothing more is due.
    void abort();
    // Ends at once with the text, e.g. when Comport A cannot take the bytes any more.
    void fail(const std::string& text);

    PlaybackState state() const { return state_; }
    bool running() const { return state_ == PlaybackState::running; }
    bool ended() const { return state_ != PlaybackState::idle && !running(); }
    // Set when failed.
    const std::string& errorText() const { return errorText_; }
    const PlaybackOptions& options() const { return options_; }
    uint64_t bytesSent() const { return bytesSent_; }
    // All bytes of all passes; 0 when it plays until aborted.
    uint64_t totalBytes() const { return totalBytes_; }
    // 0..100 of all bytes, or of the current pass when it plays until aborted.
    int percent() const;
    // The pass now playing, from 1.
    uint32_t pass() const { return pass_; }

  private:
    bool readNext();
    void endWith(PlaybackState state, const std::string& text = {});

    RecorderReader& reader_;
    PlaybackOptions options_;
    MonotonicClock& clock_;
    PlaybackState state_ = PlaybackState::idle;
    std::string errorText_;
    std::vector<uint8_t> due_;
    int64_t startUs_ = 0;
    uint64_t elapsedMs_ = 0;  // pauses of all records read so far
    RecorderRecord next_;
    int64_t nextDeadlineUs_ = -1;
    uint64_t bytesSent_ = 0;
    uint64_t totalBytes_ = 0;
    uint32_t pass_ = 1;
};

// part of whole as a percentage, rounded down, 0..100, without overflow for any sizes.
int percentOf(uint64_t part, uint64_t whole);

// "1234 of 5678 bytes sent", or "1234 bytes sent" without a total.
std::string playbackProgressText(uint64_t sent, uint64_t total);

}  // namespace pv
