#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/FileNeu.h"
#include "recording/LogSettings.h"
#include "recording/LogTimes.h"
#include "recording/TimeStampMs.h"

namespace pv {

class Prompt;
struct SymbolTables;

// What ReopenIfMoved found.
enum class LogFileCheck {
    Unchanged,  // the path still names the file being written (or logging is off)
    Reopened,   // it was renamed or deleted: the path's file is written from now on
    Failed,     // it was, and the path cannot be opened again: failureText says why
};

// Writes the blocks the monitor shows for Comport A and B into a text log file: a header, then
// one of three forms (one line per byte with short time stamps, the plain bytes, or rows of
// ASCII and hex with paragraph headers). Bytes go in unchanged, lines end in CR LF.
//
// With a time column chosen, each single hex line ends in a TAB and the row's time (and a TAB
// and the response time on the first line of an answer), and each complex row begins with the
// time and the response time in fixed columns, as the panes show them; an answer then starts a
// row of its own. The plain bytes stay as they are: that form promises no time stamps.
//
// Each block reaches the disk before WriteBlock returns, in one write call; the file is either
// reopened per block or held open (setReopenPerBlock). Main thread only.
class LogWriter {
  public:
    static constexpr int kRowWidth = 255;
    static constexpr unsigned kAppendFlags =
        CFileNeu::modeCreate | CFileNeu::modeNoTruncate | CFileNeu::modeWrite;

    explicit LogWriter(Prompt* prompt = nullptr, LogClock& clock = systemLogClock());
    // A pending row is written, not lost, when the owner goes away while logging.
    ~LogWriter() { Stop(); }
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    void setPrompt(Prompt* prompt) { file_.setPrompt(prompt); }
    void setClock(LogClock& clock) { clock_ = &clock; }
    LogClock& clock() const { return *clock_; }
    // The text after "by " in the header's "created" line; the login name by default.
    void setOwnerName(std::string name) { ownerName_ = std::move(name); }
    const std::string& ownerName() const { return ownerName_; }
    // On: open, append and close per block, so the file is never held open. Off: the file stays
    // open from Start to Stop and each block is one write.
    void setReopenPerBlock(bool on);
    bool reopenPerBlock() const { return reopenPerBlock_; }

    // Creates the file (openFlags as CFileNeu takes them) and writes the header. On failure the
    // file layer has shown its text and logging stays off. Later failures are not shown: the
    // block that met one returns false, and failureText says why.
    bool Start(const std::string& path, const std::string& identifier,
               unsigned openFlags = CFileNeu::modeCreate | CFileNeu::modeWrite);
    // Writes a pending row and ends logging.
    void Stop();
    // A write that fails (a full disk) leaves the file as it was before the block, so it ends
    // with a whole line.
    bool WriteBlock(const uint8_t* bytes, int count, bool fromSideA);
    std::string failureText() const { return file_.lastErrorText(); }
    // When the log file was renamed or deleted while logging (log rotation, a user moving it),
    // the bytes would keep going to the moved file: this notices it (the path no longer names
    // the file written to), ends the moved file with the pending row, and goes on in a file of
    // the configured name, appended to if it exists, with a header of its own if it is new.
    // A file cut short in place (copytruncate) is written on at its new end. Call it before
    // each block or from a timer.
    LogFileCheck ReopenIfMoved();
    // Takes the options over at once; a pending row stays.
    void ApplySettings(const LogSettings& settings);
    void SetConnectionNameA(const std::string& name) { connectionNameA_ = name; }
    void SetConnectionNameB(const std::string& name) { connectionNameB_ = name; }
    // Writes the pending row of the complex output now, if it holds a byte.
    void FlushRow();

    bool active() const { return active_; }
    const std::string& path() const { return path_; }
    const LogSettings& settings() const { return settings_; }
    int bytesInRow() const { return bytesInRow_; }

  private:
    bool openForAppend();
    std::string headerText();
    size_t hexAreaStart(const SymbolTables& tables) const;
    const SymbolTables& tables() const;
    bool commit();
    void appendLine(const char* text, size_t length);
    void appendRow();
    void resetRow();
    void fitRow();
    void put(size_t column, char c);
    void appendHeader(bool fromSideA);
    void writeSingleHex(const uint8_t* bytes, int count, bool fromSideA);
    void writeComplex(const uint8_t* bytes, int count, bool fromSideA);
    void appendTimedLine(const char* text, size_t length, const std::string& times);

    uint8_t lastSide_ = 0;
    bool blockSeen_ = false;
    int bytesInRow_ = 0;
    std::string row_;
    size_t rowUsed_ = 0;  // columns from here on are blank
    size_t asciiCursor_ = 0;
    size_t hexCursor_ = 0;
    std::string connectionNameA_;
    std::string connectionNameB_;
    std::string linePrefix_;
    TimeStampMs clockStamp_;
    uint32_t blockTime_ = 0;
    uint32_t previousTime_ = 0;
    std::string scratch_;  // header text
    std::string out_;      // what the current block adds to the file
    bool active_ = false;
    CFileNeu file_;
    LogSettings settings_;
    std::string path_;
    std::string identifier_;
    std::optional<FileId> fileId_;  // of the file Start or ReopenIfMoved opened
    LogClock* clock_;
    std::string ownerName_;
    bool reopenPerBlock_ = false;
    LogTimes times_;
    std::string firstTimes_;  // the time fields of a block's first single hex line
    std::string laterTimes_;  // and of its further lines
};

}  // namespace pv
