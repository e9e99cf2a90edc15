#include "recording/RecorderFile.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "base/FileNeu.h"
#include "base/TextFormat.h"

namespace pv {

namespace {

constexpr const char* kDefaultNamePattern = "PortaVigilant_%s.rec";
constexpr const char* kDefaultNameTime = "%y%m%d_%H%M";
// Records per read of the check: large reads keep checking a big file short.
constexpr size_t kCheckChunkRecords = 13107;

}  // namespace

void appendRecord(std::string& out, uint32_t delayMs, uint8_t byte) {
    const char record[kRecordSize] = {
        static_cast<char>(delayMs >> 24), static_cast<char>(delayMs >> 16),
        static_cast<char>(delayMs >> 8), static_cast<char>(delayMs), static_cast<char>(byte)};
    out.append(record, kRecordSize);
}

RecorderRecord decodeRecord(const uint8_t* record) {
    return {static_cast<uint32_t>(record[0]) << 24 | static_cast<uint32_t>(record[1]) << 16 |
                static_cast<uint32_t>(record[2]) << 8 | static_cast<uint32_t>(record[3]),
            record[4]};
}

bool recorderFileReadable(CFileNeu& file, RecorderFileCheck& check) {
    if (!file.isOpen()) {
        check.fault = RecorderFileFault::notOpen;
        return false;
    }
    file.setShowMessages(false);
    if (!file.isRegularFile()) {
        check.fault = RecorderFileFault::notRegular;
        return false;
    }
    return true;
}

RecorderFileCheck checkRecorderFile(CFileNeu& file) {
    RecorderFileCheck check;
    if (!recorderFileReadable(file, check)) {
        return check;
    }
    const int64_t length = file.GetLength64();
    if (length < 0) {
        check.fault = RecorderFileFault::shortRead;
        return check;
    }
    check.records = static_cast<uint64_t>(length) / kRecordSize;
    check.trailingBytes = static_cast<uint64_t>(length) % kRecordSize;
    if (check.records == 0) {
        check.fault = RecorderFileFault::noRecord;
        return check;
    }
    file.SeekToBegin();
    std::vector<uint8_t> chunk(kCheckChunkRecords * kRecordSize);
    uint64_t index = 0;
    check.fault = RecorderFileFault::none;
    while (index < check.records && check.good()) {
        const size_t want = static_cast<size_t>(
            std::min<uint64_t>(kCheckChunkRecords, check.records - index) * kRecordSize);
        const size_t got = file.Read(chunk.data(), want);
        for (size_t at = 0; at + kRecordSize <= got; at += kRecordSize, ++index) {
            const uint32_t delay = decodeRecord(chunk.data() + at).delayMs;
            if (delay > kMaxRecordDelayMs) {
                check.fault = RecorderFileFault::delayTooLong;
                break;
            }
            check.spanMs += delay;
        }
        if (check.good() && got < want) {
            check.fault = RecorderFileFault::shortRead;
        }
    }
    if (!check.good()) {
        check.badRecord = index;
    }
    file.SeekToBegin();
    return check;
}

RecorderReader::RecorderReader(CFileNeu& file, uint64_t records) : file_(file), records_(records) {
    file_.setShowMessages(false);
    chunk_.reserve(kChunkRecords * kRecordSize);
}

bool RecorderReader::fill() {
    const size_t want =
        static_cast<size_t>(std::min<uint64_t>(kChunkRecords, records_ - position_) * kRecordSize);
    chunk_.resize(want);
    const size_t got = file_.Read(chunk_.data(), want);
    // The whole records before a short read are still played; the end comes after them.
    chunk_.resize(got - got % kRecordSize);
    chunkUsed_ = 0;
    return !chunk_.empty();
}

bool RecorderReader::next(RecorderRecord& record) {
    if (failed_ || position_ >= records_) {
        return false;
    }
    if (chunkUsed_ >= chunk_.size() && !fill()) {
        failed_ = true;
        return false;
    }
    const RecorderRecord read = decodeRecord(chunk_.data() + chunkUsed_);
    if (read.delayMs > kMaxRecordDelayMs) {
        failed_ = true;
        return false;
    }
    chunkUsed_ += kRecordSize;
    ++position_;
    record = read;
    return true;
}

void RecorderReader::rewind() {
    file_.SeekToBegin();
    position_ = 0;
    failed_ = false;
    chunk_.clear();
    chunkUsed_ = 0;
}

std::string defaultRecorderFileName(const LocalTimeReading& now) {
    TimeStampMs stamp;
    stamp.set(now);
    return formatText(kDefaultNamePattern, stamp.Format(kDefaultNameTime).c_str());
}

bool sameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) {
        return false;
    }
    const std::optional<FileId> idA = CFileNeu::fileIdOf(a);
    const std::optional<FileId> idB = CFileNeu::fileIdOf(b);
    if (idA || idB) {
        return idA == idB;
    }
    std::error_code ignored;
    return std::filesystem::weakly_canonical(std::filesystem::absolute(a, ignored), ignored) ==
           std::filesystem::weakly_canonical(std::filesystem::absolute(b, ignored), ignored);
}

std::string refuseRecorderTarget(const std::string& target, const std::string& parameterFile,
                                 const std::string& logFile) {
    if (sameFile(target, parameterFile)) {
        return kTextTargetIsParameterFile;
    }
    if (sameFile(target, logFile)) {
        return kTextTargetIsLogFile;
    }
    return {};
}

}  // namespace pv
