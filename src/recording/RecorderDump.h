#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "recording/RecorderFile.h"

namespace pv {

class CFileNeu;

// A recorder file as text, for a look at what was recorded: one line per run of bytes that
// arrived together (at most kBytesPerLine), with the time since the start of the recording in
// milliseconds, the bytes in hex and as ASCII (anything else as '.').
class RecorderDumpFormatter {
  public:
    static constexpr size_t kBytesPerLine = 16;

    static std::string header();
    // Appends the line this record completes, if any.
    void add(const RecorderRecord& record, std::string& out);
    // Appends the last line.
    void finish(std::string& out);

  private:
    void flushLine(std::string& out);

    uint64_t elapsedMs_ = 0;
    uint64_t lineStartMs_ = 0;
    std::string hex_;
    std::string ascii_;
    size_t inLine_ = 0;
};

// Dumps every whole record of the open file, also those a check would refuse, handing the text
// to write in pieces, and ends with comment lines ("# ...") on the record count, the span and
// whatever keeps the file from playing. Returns what a check of the file says; a device or FIFO
// is not read at all.
RecorderFileCheck dumpRecorderFile(CFileNeu& file,
                                   const std::function<void(const std::string&)>& write);

}  // namespace pv
