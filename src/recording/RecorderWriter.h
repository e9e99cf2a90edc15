#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/FileNeu.h"
#include "recording/MonotonicClock.h"

namespace pv {

class Prompt;

// Records the bytes received on Comport A into a recorder file: one record per byte with the
// pause since the byte before it (see RecorderFile.h).
//
// Each block is one write, done before RecordBlock returns, so nothing is held back between
// blocks: what was recorded is on disk when the block is passed on, and stopping has nothing
// left to write. The clock is read once per block, so the first byte of a block carries the
// pause and the others 0. Main thread only.
class RecorderWriter {
  public:
    static constexpr unsigned kCreateFlags = CFileNeu::modeCreate | CFileNeu::modeWrite;

    explicit RecorderWriter(Prompt* prompt = nullptr, MonotonicClock& clock = steadyClock());
    ~RecorderWriter() { Stop(); }
    RecorderWriter(const RecorderWriter&) = delete;
    RecorderWriter& operator=(const RecorderWriter&) = delete;

    void setPrompt(Prompt* prompt) { file_.setPrompt(prompt); }
    void setClock(MonotonicClock& clock) { clock_ = &clock; }

    // Creates the file, or empties it. On failure the file layer has shown its text and
    // recording stays off. Only a plain file is taken: a pipe, FIFO or terminal could make the
    // data path wait on its reader.
    bool Start(const std::string& path);
    // Does nothing unless recording. False when the write failed: recording has stopped and
    // closed the file then, failureText says why, and nothing was shown (the data path must not
    // wait on a box). What was written before stays a playable file.
    bool RecordBlock(const uint8_t* bytes, size_t count);
    void Stop();

    bool active() const { return active_; }
    const std::string& path() const { return path_; }
    uint64_t bytesRecorded() const { return bytesRecorded_; }
    std::string failureText() const { return file_.lastErrorText(); }

  private:
    uint32_t nextDelayMs();

    CFileNeu file_;
    MonotonicClock* clock_;
    std::string path_;
    std::vector<uint8_t> records_;
    bool active_ = false;
    bool started_ = false;
    int64_t previousMs_ = 0;
    uint64_t bytesRecorded_ = 0;
};

}  // namespace pv
