#include "recording/RecorderDump.h"

#include <algorithm>
#include <vector>

#include "base/FileNeu.h"
#include "base/TextFormat.h"

namespace pv {

namespace {

constexpr const char* kHexDigits = "0123456789ABCDEF";
constexpr size_t kHexWidth = RecorderDumpFormatter::kBytesPerLine * 3;
constexpr size_t kChunkRecords = 4096;
// Pieces of about this size go to the writer.
constexpr size_t kPieceSize = 65536;

std::string summary(const RecorderFileCheck& check, uint32_t badDelay) {
    const uint64_t dumped =
        check.fault == RecorderFileFault::shortRead ? check.badRecord : check.records;
    std::string text =
        formatText("# %llu records, %llu ms\n", static_cast<unsigned long long>(dumped),
                   static_cast<unsigned long long>(check.spanMs));
    if (check.trailingBytes != 0) {
        text += formatText("# %llu trailing bytes ignored\n",
                           static_cast<unsigned long long>(check.trailingBytes));
    }
    switch (check.fault) {
        case RecorderFileFault::none:
            break;
        case RecorderFileFault::noRecord:
            text += "# no whole record: not playable\n";
            break;
        case RecorderFileFault::delayTooLong:
            text += formatText("# record %llu waits %lu ms, more than %lu ms: not playable\n",
                               static_cast<unsigned long long>(check.badRecord + 1),
                               static_cast<unsigned long>(badDelay),
                               static_cast<unsigned long>(kMaxRecordDelayMs));
            break;
        case RecorderFileFault::shortRead:
            text += formatText("# the file ended after %llu records: not playable\n",
                               static_cast<unsigned long long>(check.badRecord));
            break;
        case RecorderFileFault::notOpen:
        case RecorderFileFault::notRegular:
            break;
    }
    return text;
}

}  // namespace

std::string RecorderDumpFormatter::header() {
    std::string text = "#       ms  ";
    text += "hex";
    text.append(kHexWidth - 3, ' ');
    text += " ASCII\n";
    return text;
}

void RecorderDumpFormatter::add(const RecorderRecord& record, std::string& out) {
    elapsedMs_ += record.delayMs;
    if (inLine_ != 0 && (record.delayMs != 0 || inLine_ == kBytesPerLine)) {
        flushLine(out);
    }
    if (inLine_ == 0) {
        lineStartMs_ = elapsedMs_;
    }
    hex_ += kHexDigits[record.byte >> 4];
    hex_ += kHexDigits[record.byte & 0xF];
    hex_ += ' ';
    ascii_ += record.byte >= 0x20 && record.byte < 0x7F ? static_cast<char>(record.byte) : '.';
    ++inLine_;
}

void RecorderDumpFormatter::finish(std::string& out) {
    if (inLine_ != 0) {
        flushLine(out);
    }
}

void RecorderDumpFormatter::flushLine(std::string& out) {
    out += formatText("%10llu  ", static_cast<unsigned long long>(lineStartMs_));
    out += hex_;
    out.append(kHexWidth - hex_.size(), ' ');
    out += ' ';
    out += ascii_;
    out += '\n';
    hex_.clear();
    ascii_.clear();
    inLine_ = 0;
}

RecorderFileCheck dumpRecorderFile(CFileNeu& file,
                                   const std::function<void(const std::string&)>& write) {
    RecorderFileCheck check;
    if (!recorderFileReadable(file, check)) {
        return check;
    }
    const int64_t length = std::max<int64_t>(file.GetLength64(), 0);
    check.records = static_cast<uint64_t>(length) / kRecordSize;
    check.trailingBytes = static_cast<uint64_t>(length) % kRecordSize;
    check.fault = check.records == 0 ? RecorderFileFault::noRecord : RecorderFileFault::none;
    file.SeekToBegin();

    RecorderDumpFormatter formatter;
    std::string out = RecorderDumpFormatter::header();
    std::vector<uint8_t> chunk(kChunkRecords * kRecordSize);
    uint32_t badDelay = 0;
    for (uint64_t index = 0; index < check.records;) {
        const size_t want = static_cast<size_t>(
            std::min<uint64_t>(kChunkRecords, check.records - index) * kRecordSize);
        const size_t got = file.Read(chunk.data(), want);
        for (size_t at = 0; at + kRecordSize <= got; at += kRecordSize, ++index) {
            const RecorderRecord record = decodeRecord(chunk.data() + at);
            if (record.delayMs > kMaxRecordDelayMs && check.good()) {
                check.fault = RecorderFileFault::delayTooLong;
                check.badRecord = index;
                badDelay = record.delayMs;
            }
            check.spanMs += record.delayMs;
            formatter.add(record, out);
        }
        if (got < want) {
            check.fault = RecorderFileFault::shortRead;
            check.badRecord = index;
            break;
        }
        if (out.size() >= kPieceSize) {
            write(out);
            out.clear();
        }
    }
    formatter.finish(out);
    out += summary(check, badDelay);
    write(out);
    file.SeekToBegin();
    return check;
}

}  // namespace pv
