#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recording/TimeStampMs.h"

namespace pv {

class CFileNeu;

// Recorder files (".rec"): no header, one record per recorded byte: the pause before it in
// milliseconds (4 bytes, most significant first; 0 for the first byte of a recording), then the
// byte. Trailing bytes behind the last whole record are ignored.
inline constexpr size_t kRecordSize = 5;
// The longest pause a record may hold. Longer quiet gaps are recorded as this, so that the
// file stays playable.
inline constexpr uint32_t kMaxRecordDelayMs = 86400000;

inline constexpr const char* kRecorderFileFilter =
    "Recorder files (*.rec)|*.rec|Data files (*.dat)|*.dat|All files (*.*)|*.*||";
inline constexpr const char* kRecorderDefaultExtension = "*.rec";

inline constexpr const char* kTextRecorderCreateFailed = "Unable to create file, sorry !";
inline constexpr const char* kTextRecorderOpenFailed = "Unable to open file, sorry !";
inline constexpr const char* kTextStopRecordingFirst =
    "Please stop the current recording before playback !";
inline constexpr const char* kTextRecorderCheckFailed = "Error during checking recorder file";
inline constexpr const char* kTextPlaybackReadFailed = "Error during processing the recorder file";
inline constexpr const char* kTextComportANotOpen = "Comport A is not open for serial connection !";
// %s: the file layer's text of the failed write.
inline constexpr const char* kTextRecordingStopped = "%s\nRecording has been stopped.";
inline constexpr const char* kTextTargetIsParameterFile =
    "The parameter file cannot hold a recording, please choose another file !";
inline constexpr const char* kTextTargetIsLogFile =
    "The log file cannot hold a recording, please choose another file !";

struct RecorderRecord {
    uint32_t delayMs = 0;
    uint8_t byte = 0;
    bool operator==(const RecorderRecord&) const = default;
};

void appendRecord(std::string& out, uint32_t delayMs, uint8_t byte);
// The record in the kRecordSize bytes at record.
RecorderRecord decodeRecord(const uint8_t* record);

enum class RecorderFileFault {
    none,
    notOpen,
    notRegular,    // a device, FIFO or socket: reads might never end
    noRecord,      // shorter than one record
    delayTooLong,  // a record's pause is above kMaxRecordDelayMs
    shortRead,     // the file ended (or failed) before its length said
};

struct RecorderFileCheck {
    RecorderFileFault fault = RecorderFileFault::notOpen;
    uint64_t records = 0;        // whole records in the file
    uint64_t trailingBytes = 0;  // behind the last whole record, ignored
    uint64_t badRecord = 0;      // index of the record with the fault, if it concerns one
    uint64_t spanMs = 0;         // sum of the pauses of the records read
    bool good() const { return fault == RecorderFileFault::none; }
};

// Where every reading of a recorder file begins: the file's messages turned off, and a device or
// FIFO refused before a read that might never end. False, with check.fault saying why, when the
// file is not open or not a regular file.
bool recorderFileReadable(CFileNeu& file, RecorderFileCheck& check);

// Reads every record of the open file from its start: good when it holds at least one whole
// record, every pause is within kMaxRecordDelayMs (the last one too) and the reads gave the
// length the file claims. The file is at its start again afterwards. File errors are results,
// not messages: the file's messages are turned off.
RecorderFileCheck checkRecorderFile(CFileNeu& file);

// The records of a checked file, from its start, read in chunks. A file that changed since the
// check (shorter now, or a pause above the limit where there was none) ends the reading with
// failed() set, so garbage is never played.
class RecorderReader {
  public:
    // records: what the check counted. Turns the file's messages off.
    RecorderReader(CFileNeu& file, uint64_t records);

    // The next record; false at the end of the records and on a failure.
    bool next(RecorderRecord& record);
    // Back to the first record, for another pass.
    void rewind();
    uint64_t records() const { return records_; }
    // Records handed out in this pass.
    uint64_t position() const { return position_; }
    bool failed() const { return failed_; }

  private:
    bool fill();

    static constexpr size_t kChunkRecords = 4096;
    CFileNeu& file_;
    uint64_t records_;
    uint64_t position_ = 0;
    bool failed_ = false;
    std::vector<uint8_t> chunk_;
    size_t chunkUsed_ = 0;
};

// "PortaVigilant_yymmdd_HHMM.rec" of that local time: the name the save dialog offers.
std::string defaultRecorderFileName(const LocalTimeReading& now);

// Whether the two paths name one file: the same file on disk (hard links, symbolic links and
// "." or ".." parts included), or the same place where no file is yet. Empty paths name none.
bool sameFile(const std::string& a, const std::string& b);

// The text that refuses target as a recording file because the program writes the parameter
// file at exit, or the log file while logging; empty when it may be used.
std::string refuseRecorderTarget(const std::string& target, const std::string& parameterFile,
                                 const std::string& logFile);

}  // namespace pv
