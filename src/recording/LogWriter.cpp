#include "recording/LogWriter.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "base/Version.h"
#include "datapath/SymbolTables.h"

namespace pv {

namespace {

constexpr const char* kTextLogfileLine = "Logfile PortaVigilant Version ";
constexpr const char* kTextMoreInformation = "More information can be found at : ";
constexpr const char* kTextIdentifier = "Identifier : ";
constexpr const char* kCreatedPattern = "created : %d.%m.%Y %H:%M:%S by ";
constexpr const char* kTextNonProportional =
    "Remember to use a non-proportional characterset to view correctly !";
constexpr const char* kStampPattern = "%d.%m.%Y %H:%M:%S";
constexpr const char* kTextComportA = "Comport A";
constexpr const char* kTextComportB = "Comport B";
constexpr const char* kNameSeparator = "     ";
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kLineEnd[] = "\r\n";
constexpr size_t kLineEndLength = 2;

const SymbolTables& defaultTables() {
    static const SymbolTables tables;
    return tables;
}

std::string loginName() {
    char buffer[1024];
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_name != nullptr) {
        return found->pw_name;
    }
    const char* user = std::getenv("USER");
    return user != nullptr ? user : "";
}

size_t longestSymbol(const SymbolSet& set) {
    size_t longest = 0;
    for (int b = 0; b < SymbolSet::kSize; ++b) {
        longest = std::max(longest, set[static_cast<uint8_t>(b)].size());
    }
    return longest;
}

}  // namespace

LogWriter::LogWriter(Prompt* prompt, LogClock& clock)
    : file_(prompt), clock_(&clock), ownerName_(loginName()) {
    row_.assign(kRowWidth, ' ');
    fitRow();
}

void LogWriter::setReopenPerBlock(bool on) {
    reopenPerBlock_ = on;
    if (on) {
        file_.Close();
    }
}

void LogWriter::ApplySettings(const LogSettings& settings) {
    settings_ = settings;
    // A row count outside the range would never complete a row.
    settings_.bytesPerRow = std::clamp(settings_.bytesPerRow, LogSettings::kMinBytesPerRow,
                                       LogSettings::kMaxBytesPerRow);
    times_.setColumn(settings_.timeColumn);
    fitRow();
}

const SymbolTables& LogWriter::tables() const {
    return settings_.symbols != nullptr ? *settings_.symbols : defaultTables();
}

// The hex area starts ten blanks after the ASCII area at its widest: three columns per byte
// with ASCII symbols, so that symbols of up to three characters keep the usual layout, and more
// when a longer symbol would otherwise run into the hex digits.
size_t LogWriter::hexAreaStart(const SymbolTables& symbols) const {
    const auto perRow = static_cast<size_t>(settings_.bytesPerRow);
    if (settings_.content == LogContent::HexOnly) {
        return 0;
    }
    if (!settings_.asciiSymbols) {
        return perRow + 10;
    }
    return std::max<size_t>(3, longestSymbol(symbols.asciiSymbols)) * perRow + 10;
}

// Wide enough for a full row in the current layout, so that a row never has to grow while a
// block is written (it still would if the symbol tables got longer entries later).
void LogWriter::fitRow() {
    const auto perRow = static_cast<size_t>(settings_.bytesPerRow);
    const SymbolTables& symbols = tables();
    const size_t asciiWidth =
        settings_.asciiSymbols ? longestSymbol(symbols.asciiSymbols) * perRow : perRow;
    const size_t hexWidth =
        hexAreaStart(symbols) +
        (settings_.hexSymbols ? (longestSymbol(symbols.hexSymbols) + 1) * perRow : 3 * perRow);
    const size_t width = std::max({static_cast<size_t>(kRowWidth), asciiWidth, hexWidth});
    if (row_.size() < width) {
        row_.resize(width, ' ');
    }
    out_.reserve(width + 512);
    scratch_.reserve(512);
}

bool LogWriter::Start(const std::string& path, const std::string& identifier, unsigned openFlags) {
    Stop();
    path_ = path;
    file_.setShowMessages(true);
    if (!file_.Open(path, openFlags)) {
        active_ = false;
        return false;
    }
    resetRow();
    blockSeen_ = false;
    lastSide_ = 0;
    times_.restart();
    out_.clear();
    identifier_ = identifier;
    fileId_ = file_.fileId();

    const std::string header = headerText();
    if (!file_.Write(header.data(), header.size())) {
        file_.Close();
        active_ = false;
        return false;
    }
    if (reopenPerBlock_) {
        file_.Close();
    }
    // From here on the file is written from the data path, which must never wait on a box.
    file_.setShowMessages(false);
    active_ = true;
    previousTime_ = clock_->tickMs();
    return true;
}

std::string LogWriter::headerText() {
    std::string header = kTextLogfileLine;
    header += kVersion;
    header += kLineEnd;
    header += kTextMoreInformation;
    header += kProductWebPage;
    header += kLineEnd;
    if (!identifier_.empty()) {
        header += kTextIdentifier;
        header += identifier_;
        header += kLineEnd;
    }
    clockStamp_.Refresh(*clock_);
    clockStamp_.AppendFormatted(header, kCreatedPattern);
    header += ownerName_;
    header += kLineEnd;
    header += kTextNonProportional;
    header += kLineEnd;
    header += kLineEnd;
    return header;
}

void LogWriter::Stop() {
    if (!active_) {
        return;
    }
    FlushRow();
    file_.Close();
    active_ = false;
}

bool LogWriter::openForAppend() {
    if (file_.isOpen()) {
        return true;
    }
    if (!file_.Open(path_, kAppendFlags)) {
        return false;
    }
    file_.SeekToEnd();
    return true;
}

bool LogWriter::commit() {
    bool written = true;
    if (!out_.empty()) {
        const int64_t end = file_.GetPosition();
        written = file_.Write(out_.data(), out_.size());
        if (!written && end >= 0) {
            // What a full disk let through would end the file inside a line.
            file_.SetLength(end);
            file_.SeekToEnd();
        }
        out_.clear();
    }
    if (reopenPerBlock_) {
        file_.Close();
    }
    return written;
}

LogFileCheck LogWriter::ReopenIfMoved() {
    if (!active_) {
        return LogFileCheck::Unchanged;
    }
    if (fileId_ && CFileNeu::fileIdOf(path_) == fileId_) {
        if (file_.isOpen() && file_.GetLength64() < file_.GetPosition()) {
            // Writing on at the old position would leave a hole of zeros in front.
            file_.SeekToEnd();
        }
        return LogFileCheck::Unchanged;
    }
    // The moved file ends as Stop would end it; a file not held open has nothing to end.
    if (file_.isOpen()) {
        FlushRow();
        file_.Close();
    }
    if (!file_.Open(path_, kAppendFlags)) {
        fileId_.reset();
        return LogFileCheck::Failed;
    }
    file_.SeekToEnd();
    fileId_ = file_.fileId();
    bool written = true;
    if (file_.GetLength64() == 0) {
        out_ = headerText();
        written = commit();
    } else if (reopenPerBlock_) {
        file_.Close();
    }
    return written ? LogFileCheck::Reopened : LogFileCheck::Failed;
}

void LogWriter::FlushRow() {
    if (!active_ || bytesInRow_ == 0 || !openForAppend()) {
        return;
    }
    appendRow();
    commit();
}

bool LogWriter::WriteBlock(const uint8_t* bytes, int count, bool fromSideA) {
    if (!active_ || bytes == nullptr || count <= 0) {
        return true;
    }
    if (!openForAppend()) {
        return false;
    }
    const bool singleHex = settings_.enabled && settings_.mode == LogMode::SingleHex;
    if (settings_.enabled) {
        switch (settings_.mode) {
            case LogMode::SingleHex:
                writeSingleHex(bytes, count, fromSideA);
                break;
            case LogMode::PlainAscii:
                out_.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
                break;
            case LogMode::Complex:
                writeComplex(bytes, count, fromSideA);
                break;
        }
    }
    const bool written = commit();
    if (singleHex) {
        // The next pause is measured from when this block was written.
        previousTime_ = clock_->tickMs();
    }
    return written;
}

void LogWriter::appendLine(const char* text, size_t length) {
    out_.append(text, length);
    out_.append(kLineEnd, kLineEndLength);
}

void LogWriter::appendTimedLine(const char* text, size_t length, const std::string& times) {
    out_.append(text, length);
    out_ += times;
    out_.append(kLineEnd, kLineEndLength);
}

void LogWriter::writeSingleHex(const uint8_t* bytes, int count, bool fromSideA) {
    const uint32_t now = clock_->tickMs();
    blockTime_ = now;
    const auto delta = static_cast<int32_t>(now - previousTime_);
    const char side = fromSideA ? 'A' : 'B';
    if (times_.on()) {
        // Every line of a block has the same time; only the first can be an answer.
        times_.beginBlock(*clock_, fromSideA);
        firstTimes_.clear();
        times_.beginRow();
        times_.appendFields(firstTimes_);
        laterTimes_.clear();
        if (count > 1) {
            times_.beginRow();
            times_.appendFields(laterTimes_);
        }
    }
    for (int k = 0; k < count; ++k) {
        char line[32];
        line[0] = kHexDigits[bytes[k] >> 4];
        line[1] = kHexDigits[bytes[k] & 0x0F];
        line[2] = '\t';
        line[3] = side;
        line[4] = '\t';
        const auto [end, ec] = std::to_chars(line + 5, line + sizeof line, k == 0 ? delta : 0);
        if (times_.on()) {
            appendTimedLine(line, static_cast<size_t>(end - line),
                            k == 0 ? firstTimes_ : laterTimes_);
        } else {
            appendLine(line, static_cast<size_t>(end - line));
        }
    }
}

void LogWriter::resetRow() {
    std::fill(row_.begin(), row_.begin() + static_cast<std::ptrdiff_t>(rowUsed_), ' ');
    rowUsed_ = 0;
    bytesInRow_ = 0;
    asciiCursor_ = 0;
    hexCursor_ = 0;
}

void LogWriter::put(size_t column, char c) {
    if (column >= row_.size()) {
        row_.resize(std::max(column + 1, 2 * row_.size()), ' ');
    }
    row_[column] = c;
    rowUsed_ = std::max(rowUsed_, column + 1);
}

// Only real trailing blanks go: a 0x00 data byte is part of the row like any other byte.
void LogWriter::appendRow() {
    if (bytesInRow_ == 0) {
        return;
    }
    size_t end = rowUsed_;
    while (end > 0 && row_[end - 1] == ' ') {
        --end;
    }
    if (times_.on()) {
        times_.appendPrefix(out_);
    }
    if (settings_.singleLine) {
        out_ += linePrefix_;
    }
    appendLine(row_.data(), end);
    resetRow();
}

void LogWriter::appendHeader(bool fromSideA) {
    scratch_.clear();
    if (settings_.timestamp) {
        clockStamp_.Refresh(*clock_);
        clockStamp_.AppendFormatted(scratch_, kStampPattern);
        if (settings_.milliseconds) {
            char millis[16];
            const int length =
                std::snprintf(millis, sizeof millis, ":%03d", clockStamp_.Milliseconds());
            scratch_.append(millis, static_cast<size_t>(std::max(length, 0)));
        }
    }
    if (settings_.portNames) {
        if (!scratch_.empty()) {
            scratch_ += kNameSeparator;
        }
        scratch_ += fromSideA ? kTextComportA : kTextComportB;
        const std::string& name = settings_.usePortNumber
                                      ? (fromSideA ? connectionNameA_ : connectionNameB_)
                                      : (fromSideA ? settings_.nameA : settings_.nameB);
        if (!name.empty()) {
            scratch_ += " ('";
            scratch_ += name;
            scratch_ += "')";
        }
    }
    if (settings_.singleLine) {
        linePrefix_ = scratch_;
        linePrefix_ += ' ';
    } else {
        appendLine(scratch_.data(), scratch_.size());
    }
}

void LogWriter::writeComplex(const uint8_t* bytes, int count, bool fromSideA) {
    blockTime_ = clock_->tickMs();
    const auto delta = static_cast<int32_t>(blockTime_ - previousTime_);
    previousTime_ = clock_->tickMs();
    const uint8_t side = fromSideA ? 1 : 0;
    // An answer starts its own row, so that the row can show the response time.
    const bool answer = times_.on() && times_.beginBlock(*clock_, fromSideA);
    const bool headerDue = (settings_.timeoutParagraph && delta > settings_.timeout) ||
                           (settings_.paragraph && (!blockSeen_ || side != lastSide_)) ||
                           bytesInRow_ == 0 || answer;
    if (headerDue) {
        appendRow();
        appendHeader(fromSideA);
    }
    lastSide_ = side;
    blockSeen_ = true;

    const SymbolTables& symbols = tables();
    const bool withAscii = settings_.content != LogContent::HexOnly;
    const bool withHex = settings_.content != LogContent::AsciiOnly;
    const size_t hexStart = hexAreaStart(symbols);
    for (int k = 0; k < count; ++k) {
        const uint8_t b = bytes[k];
        const auto i = static_cast<size_t>(bytesInRow_);
        if (i == 0 && times_.on()) {
            times_.beginRow();
        }
        if (withAscii) {
            if (settings_.asciiSymbols) {
                for (const char c : symbols.asciiSymbols[b]) {
                    put(asciiCursor_++, c);
                }
            } else {
                put(i, static_cast<char>(b));
            }
        }
        if (withHex) {
            if (settings_.hexSymbols) {
                for (const char c : symbols.hexSymbols[b]) {
                    put(hexStart + hexCursor_++, c);
                }
                ++hexCursor_;
            } else {
                put(hexStart + 3 * i, kHexDigits[b >> 4]);
                put(hexStart + 3 * i + 1, kHexDigits[b & 0x0F]);
            }
        }
        if (++bytesInRow_ >= settings_.bytesPerRow) {
            appendRow();
        }
    }
}

}  // namespace pv
