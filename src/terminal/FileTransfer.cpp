#include "terminal/FileTransfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/Prompt.h"
#include "base/TextFormat.h"
#include "terminal/TerminalControl.h"
#include "terminal/TerminalSettings.h"

namespace pv {

namespace {

constexpr const char* kTextFileNotFound = "File not found !!!";
constexpr const char* kTextCannotOpen = "Unable to open file !!!";
constexpr const char* kTextNotRegular = "'%s' is not a regular file; only files can be uploaded.";
constexpr const char* kTextTerminalNotRunning =
    "The terminal does not stand in for Comport B - the file is not sent";
constexpr const char* kTextUploadRunning = "An upload is running already";
constexpr const char* kTextStopped = "Upload stopped after %lld of %lld bytes: %s";
constexpr const char* kTextSent = "sent %lld of %lld bytes";
constexpr const char* kTextWaitTimeouts = "; after %d lines '%s' did not come in time";
constexpr const char* kTextTerminalClosed = "the terminal was closed";
constexpr const char* kTextCannotCreate = "Unable to create file !";
constexpr const char* kTextDownloadFailed =
    "Download stopped: writing to '%s' failed (%s); %lld bytes were written.";

// A read buffer of many blocks, so the file is not read once per block.
constexpr size_t kReadBytes = 64 * 1024;
constexpr int kBlocksPerClockRead = 32;

std::string shownByte(int byte) {
    if (byte >= 0x20 && byte < 0x7F) {
        return std::string(1, static_cast<char>(byte));
    }
    return formatText("0x%02X", byte);
}

}  // namespace

FileTransfer::FileTransfer(TerminalControl& terminal, Prompt& prompt, Link link, QObject* parent)
    : QObject(parent), terminal_(terminal), prompt_(prompt), link_(std::move(link)) {
    next_.setSingleShot(true);
    next_.setTimerType(Qt::PreciseTimer);
    connect(&next_, &QTimer::timeout, this, &FileTransfer::step);
    waitChar_.setSingleShot(true);
    connect(&waitChar_, &QTimer::timeout, this, [this] {
        if (waitingForChar_) {
            ++waitTimeouts_;
            resumeAfterWait();
        }
    });
    connect(&watch_, &QTimer::timeout, this, &FileTransfer::step);
    terminal_.setShowTap([this](std::string_view bytes) { writeDownload(bytes); });
}

FileTransfer::~FileTransfer() {
    terminal_.setShowTap({});
    closeFile();
    if (downloadFd_ >= 0) {
        ::close(downloadFd_);
    }
}

bool FileTransfer::startUpload(const std::string& path, std::string& refusal) {
    refusal.clear();
    if (path.empty()) {
        return false;
    }
    if (uploading()) {
        refusal = kTextUploadRunning;
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
        refusal = kTextFileNotFound;
        return false;
    }
    // Non-blocking, so a FIFO without a writer cannot hold the program at the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        refusal = std::string(kTextCannotOpen) + "\n" + std::strerror(errno);
        return false;
    }
    // A device or FIFO could block a read for good or never end.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        refusal = std::string(kTextCannotOpen) + "\n" + formatText(kTextNotRegular, path.c_str());
        return false;
    }
    if (!terminal_.running()) {
        ::close(fd);
        refusal = kTextTerminalNotRunning;
        return false;
    }
    if (std::string why = link_.refusal(); !why.empty()) {
        ::close(fd);
        refusal = why;
        return false;
    }
    fd_ = fd;
    pacing_ = uploadPacing(terminal_.settings());
    buffer_.resize(kReadBytes);
    bufferPos_ = bufferEnd_ = 0;
    endOfFile_ = false;
    total_ = st.st_size;
    sent_ = leftAtEnd_ = 0;
    endText_.clear();
    waitingForChar_ = false;
    waitTimeouts_ = 0;
    state_ = State::Sending;
    clock_.start();
    watch_.start(kWatchMs);
    schedule(0);
    return true;
}

void FileTransfer::abortUpload() {
    if (uploading()) {
        end(State::Aborted);
    }
}

long long FileTransfer::left() const {
    if (!uploading()) {
        return leftAtEnd_;
    }
    return std::max(0LL, sent_ - static_cast<long long>(link_.backlog()));
}

std::string FileTransfer::progressText() const {
    if (uploading()) {
        return uploadProgressText(left(), total_, clock_.elapsed() / 1000.0);
    }
    return endText_;
}

void FileTransfer::schedule(int ms) {
    next_.start(ms);
}

void FileTransfer::step() {
    if (!uploading()) {
        return;
    }
    if (std::string why = link_.refusal(); !why.empty()) {
        fail(why);
        return;
    }
    if (state_ == State::Draining) {
        finishWhenDrained();
        return;
    }
    if (next_.isActive() || waitingForChar_) {
        return;  // pausing; the watch only looks whether side A is still there
    }
    QElapsedTimer slice;
    slice.start();
    // Without pauses, the blocks go through the chain one by one but leave side A together.
    const bool batched = !pacing_.paced && !pacing_.byLines() && link_.hold;
    struct Batch {
        const std::function<void(bool)>* hold;  // none: every block leaves at once
        explicit Batch(const std::function<void(bool)>* h) : hold(h) { set(true); }
        ~Batch() { set(false); }
        void set(bool on) const {
            if (hold != nullptr) {
                (*hold)(on);
            }
        }
    } held{batched ? &link_.hold : nullptr};
    size_t batch = 0;
    int blocks = 0;
    while (link_.backlog() <= kRoomBytes) {
        if (bufferPos_ == bufferEnd_ && !fill()) {
            return;
        }
        if (bufferPos_ == bufferEnd_) {
            state_ = State::Draining;
            finishWhenDrained();
            return;
        }
        if (std::string why = link_.refusal(); !why.empty()) {
            fail(why);
            return;
        }
        const uint8_t* block = buffer_.data() + bufferPos_;
        const size_t length =
            nextBlockLength(pacing_, std::span<const uint8_t>(block, bufferEnd_ - bufferPos_));
        bufferPos_ += length;
        sent_ += static_cast<long long>(length);
        link_.send(block, static_cast<int>(length));
        if (!uploading()) {
            return;  // the chain stopped a side
        }
        if ((batch += length) >= kBatchBytes) {
            held.set(false);
            held.set(true);
            batch = 0;
        }
        // The clock is read every few blocks only; a block takes microseconds.
        if (afterBlock(block[length - 1] == '\n') ||
            ((++blocks % kBlocksPerClockRead) == 0 && slice.elapsed() >= kSliceMs)) {
            if (!next_.isActive() && !waitingForChar_) {
                schedule(0);
            }
            return;
        }
    }
    // Too much waits toward side A: backlogShrank goes on.
}

bool FileTransfer::afterBlock(bool lineEnded) {
    const bool byLine = lineEnded && pacing_.byLines();
    if (byLine && pacing_.waitFor >= 0) {
        waitingForChar_ = true;
        waitChar_.start(pacing_.waitTimeoutMs);
        return true;
    }
    const int pause =
        std::max(pacing_.paced ? pacing_.pauseMs : 0, byLine ? pacing_.linePauseMs : 0);
    if (pause > 0) {
        schedule(pause);
        return true;
    }
    return false;
}

void FileTransfer::resumeAfterWait() {
    waitingForChar_ = false;
    waitChar_.stop();
    // Never from inside the chain that brought the character.
    schedule(std::max(pacing_.paced ? pacing_.pauseMs : 0, pacing_.linePauseMs));
}

bool FileTransfer::fill() {
    if (endOfFile_) {
        return true;
    }
    for (;;) {
        const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        if (n >= 0) {
            bufferPos_ = 0;
            bufferEnd_ = static_cast<size_t>(n);
            endOfFile_ = n == 0;
            return true;
        }
        if (errno != EINTR) {
            fail(std::strerror(errno));
            return false;
        }
    }
}

void FileTransfer::finishWhenDrained() {
    if (link_.backlog() == 0) {
        end(State::Finished);
    }
}

void FileTransfer::receivedFromA(const uint8_t* data, int count) {
    if (!waitingForChar_ || count <= 0 ||
        std::memchr(data, pacing_.waitFor, static_cast<size_t>(count)) == nullptr) {
        return;
    }
    resumeAfterWait();
}

void FileTransfer::backlogShrank() {
    if (uploading() && !next_.isActive() && !waitingForChar_) {
        schedule(0);
    }
}

void FileTransfer::terminalStopped() {
    if (uploading()) {
        fail(kTextTerminalClosed);
    }
    stopDownload();
}

void FileTransfer::fail(const std::string& why) {
    end(State::Failed, formatText(kTextStopped, left(), total_, why.c_str()));
}

void FileTransfer::end(State state, std::string text) {
    leftAtEnd_ = left();
    seconds_ = clock_.elapsed() / 1000.0;
    state_ = state;
    next_.stop();
    waitChar_.stop();
    watch_.stop();
    waitingForChar_ = false;
    closeFile();
    if (text.empty()) {
        text = formatText(kTextSent, leftAtEnd_, total_);
        if (waitTimeouts_ > 0) {
            text +=
                formatText(kTextWaitTimeouts, waitTimeouts_, shownByte(pacing_.waitFor).c_str());
        }
    }
    endText_ = std::move(text);
    emit uploadEnded();
}

void FileTransfer::closeFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    buffer_.clear();
    buffer_.shrink_to_fit();
}

bool FileTransfer::startDownload(const std::string& path, std::string& refusal) {
    refusal.clear();
    stopDownload();
    // Non-blocking, so a FIFO without a reader is refused instead of waited for.
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) {
        refusal = kTextCannotCreate;
        return false;
    }
    downloadFd_ = fd;
    downloadPath_ = path;
    downloaded_ = 0;
    emit downloadChanged(true);
    return true;
}

void FileTransfer::stopDownload() {
    if (downloadFd_ < 0) {
        return;
    }
    ::close(downloadFd_);
    downloadFd_ = -1;
    emit downloadChanged(false);
}

void FileTransfer::writeDownload(std::string_view bytes) {
    size_t done = 0;
    while (downloadFd_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(downloadFd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            downloaded_ += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            const int error = n < 0 ? errno : ENOSPC;
            stopDownload();
            prompt_.notice(formatText(kTextDownloadFailed, downloadPath_.c_str(),
                                      std::strerror(error), downloaded_));
        }
    }
}

}  // namespace pv
