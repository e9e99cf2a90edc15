#include "recording/RecorderControl.h"

#include <algorithm>

#include "base/CommandIds.h"
#include "base/TextFormat.h"
#include "recording/RecorderFile.h"

namespace pv {

namespace {

// A pause longer than this is waited in several timer runs (a timer takes an int of ms).
constexpr int64_t kMaxTimerMs = 3600 * 1000;
// While side A's output queue is above its high-water mark, playback looks again this often.
constexpr int kPressureRetryMs = 5;

}  // namespace

RecorderControl::RecorderControl(RecorderView& view, PortSide& sideA, DisplayStep& display,
                                 RecorderTargets targets, QObject* parent)
    : QObject(parent),
      view_(view),
      sideA_(sideA),
      display_(display),
      targets_(std::move(targets)),
      writer_(&view.prompt()),
      playbackClock_(&steadyClock()),
      nameClock_(&systemLogClock()),
      playFile_(&view.prompt()) {
    playTimer_.setSingleShot(true);
    playTimer_.setTimerType(Qt::PreciseTimer);
    connect(&playTimer_, &QTimer::timeout, this, &RecorderControl::playDue);
}

// The scheduler reads through the reader, which reads the file: they go in that order.
RecorderControl::~RecorderControl() {
    playTimer_.stop();
    scheduler_.reset();
    reader_.reset();
}

void RecorderControl::registerCommands(CommandTable& commands) {
    commands.add(Command::RecordStart, [this] { OnRecordStart(); });
    commands.add(Command::RecordStop, [this] { OnRecordStop(); });
    commands.add(Command::PlaybackStart, [this] { OnPlaybackStart(); });
}

bool RecorderControl::OnRecordStart() {
    if (recording() || playing()) {
        return false;
    }
    TimeStampMs now;
    now.Refresh(*nameClock_);
    FileDialogRequest request;
    request.save = true;
    request.filter = kRecorderFileFilter;
    request.initialPath = defaultRecorderFileName({now.seconds(), now.Milliseconds()});
    request.defaultExtension = kRecorderDefaultExtension;
    const std::optional<std::string> chosen = view_.prompt().chooseFile(request);
    if (!chosen) {
        return false;
    }
    const std::string path = withDefaultExtension(*chosen, kRecorderDefaultExtension);
    const std::string refusal = refuseRecorderTarget(
        path, targets_.parameterFile ? targets_.parameterFile() : std::string(),
        targets_.logFile ? targets_.logFile() : std::string());
    if (!refusal.empty()) {
        view_.prompt().message(refusal, {}, PromptButtons::Ok, PromptIcon::Error);
        return false;
    }
    return StartRecording(path);
}

bool RecorderControl::StartRecording(const std::string& path) {
    if (recording() || playing()) {
        return false;
    }
    if (!writer_.Start(path)) {
        view_.prompt().message(kTextRecorderCreateFailed, {}, PromptButtons::Ok, PromptIcon::Error);
        return false;
    }
    blink_ = true;
    view_.recorderStateChanged();
    return true;
}

void RecorderControl::OnRecordStop() {
    const bool changed = writer_.active() || blink_;
    writer_.Stop();
    blink_ = false;
    if (changed) {
        view_.recorderStateChanged();
    }
}

// On the data path: a failed write stops recording with one notice, never a box per block.
void RecorderControl::recordBlock(const uint8_t* data, int count) {
    if (!writer_.active() || count <= 0) {
        return;
    }
    if (!writer_.RecordBlock(data, static_cast<size_t>(count))) {
        const std::string reason = writer_.failureText();
        blink_ = false;
        view_.recorderStateChanged();
        view_.prompt().notice(formatText(kTextRecordingStopped, reason.c_str()));
    }
}

RecorderControl::RecorderMenuState RecorderControl::recorderMenuState() const {
    return {!recording() && !playing(), recording(), !playing()};
}

void RecorderControl::OnRecorderBlinkTick() {
    if (!recording() || !sideA_.started) {
        return;
    }
    blink_ = !blink_;
    view_.recorderStateChanged();
}

bool RecorderControl::OnPlaybackStart() {
    if (playing()) {
        return false;
    }
    if (recording()) {
        view_.prompt().message(kTextStopRecordingFirst, {}, PromptButtons::Ok, PromptIcon::Warning);
        return false;
    }
    // Said before a file is chosen: nothing could be sent anyway.
    if (const std::string why = sideAUnusable(); !why.empty()) {
        view_.prompt().message(why, {}, PromptButtons::Ok, PromptIcon::Error);
        return false;
    }
    FileDialogRequest request;
    request.filter = kRecorderFileFilter;
    request.defaultExtension = kRecorderDefaultExtension;
    const std::optional<std::string> path = view_.prompt().chooseFile(request);
    if (!path) {
        return false;
    }
    return StartPlayback(*path);
}

bool RecorderControl::StartPlayback(const std::string& path, const PlaybackOptions& options) {
    if (playing()) {
        return false;
    }
    Prompt& prompt = view_.prompt();
    if (recording()) {
        prompt.message(kTextStopRecordingFirst, {}, PromptButtons::Ok, PromptIcon::Warning);
        return false;
    }
    if (const std::string why = sideAUnusable(); !why.empty()) {
        prompt.message(why, {}, PromptButtons::Ok, PromptIcon::Error);
        return false;
    }
    scheduler_.reset();
    reader_.reset();
    playFile_.Close();
    playFile_.setShowMessages(true);
    if (!playFile_.Open(path, CFileNeu::modeRead)) {
        prompt.message(kTextRecorderOpenFailed, {}, PromptButtons::Ok, PromptIcon::Error);
        return false;
    }
    const RecorderFileCheck check = checkRecorderFile(playFile_);
    if (!check.good()) {
        playFile_.Close();
        prompt.message(kTextRecorderCheckFailed, {}, PromptButtons::Ok, PromptIcon::Error);
        return false;
    }
    reader_ = std::make_unique<RecorderReader>(playFile_, check.records);
    scheduler_ = std::make_unique<PlaybackScheduler>(*reader_, options, *playbackClock_);
    lastPercent_ = -1;
    scheduler_->start();
    view_.playbackStarted();
    view_.recorderStateChanged();
    // The first byte goes out from the event loop, once the view shows the playback.
    playTimer_.start(0);
    return true;
}

void RecorderControl::abortPlayback() {
    if (!playing()) {
        return;
    }
    scheduler_->abort();
    finishPlayback();
}

void RecorderControl::sideALost() {
    if (playing()) {
        scheduler_->fail(kTextComportANotOpen);
        finishPlayback();
    }
}

// Played bytes go to side A's device only: its serial port or its virtual port, never the TCP
// link, which is side B's business.
Channel* RecorderControl::sideAOutput() const {
    if (!sideA_.started) {
        return nullptr;
    }
    if (sideA_.isSerial && sideA_.port.isOpen()) {
        return &sideA_.port;
    }
    if (sideA_.isVirtual && sideA_.virtualPort && sideA_.virtualPort->isOpen()) {
        return sideA_.virtualPort.get();
    }
    return nullptr;
}

std::string RecorderControl::sideAUnusable() const {
    return sideAOutput() == nullptr ? kTextComportANotOpen : std::string();
}

// Everything due goes out as one block, checked against side A as it is now: a side that
// stopped or lost its device since the last block ends the playback.
void RecorderControl::playDue() {
    if (!playing()) {
        return;
    }
    Channel* out = sideAOutput();
    if (out == nullptr) {
        scheduler_->fail(kTextComportANotOpen);
        finishPlayback();
        return;
    }
    if (out->backlog() > Channel::kHighWater) {
        playTimer_.start(kPressureRetryMs);
        return;
    }
    const std::vector<uint8_t>& due = scheduler_->takeDue();
    if (!due.empty()) {
        const int count = static_cast<int>(due.size());
        out->send(due.data(), count);
        display_.DisplayBlock(Side::A, due.data(), count);
    }
    if (const int percent = scheduler_->percent(); percent != lastPercent_) {
        lastPercent_ = percent;
        view_.playbackProgress(percent, scheduler_->bytesSent(), scheduler_->totalBytes());
    }
    if (scheduler_->running()) {
        armTimer();
    } else {
        finishPlayback();
    }
}

void RecorderControl::armTimer() {
    const int64_t ms = std::min(scheduler_->msUntilNext(), kMaxTimerMs);
    playTimer_.start(static_cast<int>(std::max<int64_t>(ms, 0)));
}

void RecorderControl::finishPlayback() {
    playTimer_.stop();
    playFile_.Close();
    const PlaybackState state = scheduler_->state();
    view_.playbackProgress(scheduler_->percent(), scheduler_->bytesSent(),
                           scheduler_->totalBytes());
    view_.playbackFinished(state);
    view_.recorderStateChanged();
    if (state == PlaybackState::failed) {
        view_.prompt().message(scheduler_->errorText(), {}, PromptButtons::Ok, PromptIcon::Error);
    }
}

}  // namespace pv
