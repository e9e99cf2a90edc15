#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/TransferRules.h"

namespace pv {

class Prompt;
class TerminalControl;

// Raw file upload and download of the terminal. An upload reads the file block by block and
// hands each block to the B to A chain at once, on the main thread: paced, it waits the pause
// after each block; unpaced, it sends while side A's backlog is low and goes on when it has
// shrunk, so memory stays bounded and the progress counts bytes that have really left. A
// download writes everything the terminal shows into a file, in the order shown.
class FileTransfer : public QObject {
    Q_OBJECT

  public:
    // What the upload needs of the rest of the program.
    struct Link {
        // Why side A cannot take a file now; empty when it can.
        std::function<std::string()> refusal;
        // One block into the B to A chain (forwarded to side A, shown and logged as side B's).
        std::function<void(const uint8_t*, int)> send;
        // Bytes that wait toward side A.
        std::function<size_t()> backlog;
        // Holds side A's output (Channel::holdOutput) and the display's clock while a batch of
        // blocks goes in.
        std::function<void(bool)> hold;
    };
    enum class State { Idle, Sending, Draining, Finished, Aborted, Failed };

    // Above this backlog toward side A no block is sent.
    static constexpr size_t kRoomBytes = 64 * 1024;
    // An unpaced upload gives the event loop back after this long.
    static constexpr int kSliceMs = 10;
    // Unpaced blocks reach side A's device in writes of this size.
    static constexpr size_t kBatchBytes = 32 * 1024;
    // How often a running upload looks whether side A still takes it.
    static constexpr int kWatchMs = 100;

    FileTransfer(TerminalControl& terminal, Prompt& prompt, Link link, QObject* parent = nullptr);
    ~FileTransfer() override;

    // Starts uploading the file with the pacing of the terminal settings. An empty path does
    // nothing (false, no text); a refusal returns false and the text to show.
    bool startUpload(const std::string& path, std::string& refusal);
    // "Abort now !": no block after this one.
    void abortUpload();
    Prompt& prompt() { return prompt_; }
    State state() const { return state_; }
    bool uploading() const { return state_ == State::Sending || state_ == State::Draining; }
    const UploadPacing& pacing() const { return pacing_; }
    long long total() const { return total_; }
    long long handedOn() const { return sent_; }
    // Bytes of the upload that have left toward side A.
    long long left() const;
    // Progress with rate and time left; after the end, how it ended.
    std::string progressText() const;
    // Lines after which the awaited character did not come in time.
    int waitTimeouts() const { return waitTimeouts_; }

    // Side A's bytes, for the character an upload by lines waits for.
    void receivedFromA(const uint8_t* data, int count);
    // Some of the backlog toward side A has left.
    void backlogShrank();
    // The terminal stopped standing in for side B: upload and download end.
    void terminalStopped();

    // Creates (or empties) the file; "Unable to create file !" when it cannot.
    bool startDownload(const std::string& path, std::string& refusal);
    void stopDownload();
    bool downloading() const { return downloadFd_ >= 0; }
    long long downloaded() const { return downloaded_; }

  signals:
    // The upload has finished, was aborted or failed (state() says which).
    void uploadEnded();
    void downloadChanged(bool on);

  private:
    void step();
    void schedule(int ms);
    // After a block: the pause, the awaited character, or the next block at once.
    bool afterBlock(bool lineEnded);
    // The awaited character came, or its time-out passed.
    void resumeAfterWait();
    bool fill();
    void finishWhenDrained();
    void end(State state, std::string text = {});
    void fail(const std::string& why);
    void closeFile();
    void writeDownload(std::string_view bytes);

    TerminalControl& terminal_;
    Prompt& prompt_;
    Link link_;
    State state_ = State::Idle;
    UploadPacing pacing_;
    int fd_ = -1;
    std::vector<uint8_t> buffer_;
    size_t bufferPos_ = 0;
    size_t bufferEnd_ = 0;
    bool endOfFile_ = false;
    long long total_ = 0;
    long long sent_ = 0;
    long long leftAtEnd_ = 0;
    std::string endText_;
    bool waitingForChar_ = false;
    int waitTimeouts_ = 0;
    QTimer next_;      // the pause, or the next slice
    QTimer waitChar_;  // the time-out of the awaited character
    QTimer watch_;
    QElapsedTimer clock_;
    double seconds_ = 0;  // at the end
    int downloadFd_ = -1;
    std::string downloadPath_;
    long long downloaded_ = 0;
};

}  // namespace pv
