#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/CommandTable.h"
#include "base/FileNeu.h"
#include "base/Prompt.h"
#include "datapath/DisplayStep.h"
#include "ports/PortSide.h"
#include "recording/PlaybackScheduler.h"
#include "recording/RecorderWriter.h"
#include "recording/TimeStampMs.h"

namespace pv {

// Where the recorder and playback tell how they stand.
class RecorderView {
  public:
    virtual ~RecorderView() = default;
    virtual Prompt& prompt() = 0;
    // Recording started or stopped, playback began or ended, or the indicator blinked: the view
    // reads the menu state and the indicator from the engine.
    virtual void recorderStateChanged() {}
    // A playback began: the view shows its progress until playbackFinished.
    virtual void playbackStarted() {}
    // percent: 0..100 of all bytes (of the pass when it plays until aborted).
    virtual void playbackProgress(int /*percent*/, uint64_t /*sent*/, uint64_t /*total*/) {}
    // The playback ended: completed, aborted or failed (its text was shown already).
    virtual void playbackFinished(PlaybackState /*state*/) {}
};

// The files the recorder must not overwrite: the parameter file written at exit and the log
// being written.
struct RecorderTargets {
    std::function<std::string()> parameterFile;
    std::function<std::string()> logFile;
};

// The Serial Recorder menu: "Record" > "Start" (40038) and "Stop" (40039) record the bytes
// received on Comport A with their pauses, "Playback" > "Start" (40040) sends a recording out
// through Comport A again. Recording is a hook in the A to B chain (after eXchange, before
// forwarding); playback runs on the main thread, its timer aimed at the absolute time each byte
// is due, and its bytes go only to side A's device and its display step: side B, the trigger
// and the recorder never see them.
class RecorderControl : public QObject {
    Q_OBJECT

  public:
    RecorderControl(RecorderView& view, PortSide& sideA, DisplayStep& display,
                    RecorderTargets targets, QObject* parent = nullptr);
    ~RecorderControl() override;

    void registerCommands(CommandTable& commands);

    bool OnRecordStart();
    // Without the file dialog (headless front end, tests).
    bool StartRecording(const std::string& path);
    void OnRecordStop();
    bool recording() const { return writer_.active(); }
    RecorderWriter& writer() { return writer_; }
    // The hook of the A to B chain; one write per block.
    void recordBlock(const uint8_t* data, int count);

    bool OnPlaybackStart();
    // Checks the file and starts playing it; false (with the reason shown) when refused.
    bool StartPlayback(const std::string& path, const PlaybackOptions& options = {});
    // Ends a playback at once, without a message.
    void abortPlayback();
    bool playing() const { return scheduler_ != nullptr && scheduler_->running(); }
    // The last playback's scheduler (bytes sent, state), if any.
    const PlaybackScheduler* playback() const { return scheduler_.get(); }
    // Side A stopped because its device was lost.
    void sideALost();
    // Where the pacing reads the time (tests set a fake clock); before StartPlayback.
    void setPlaybackClock(MonotonicClock& clock) { playbackClock_ = &clock; }
    // Where the default file name's time comes from (tests set a fake).
    void setNameClock(LogClock& clock) { nameClock_ = &clock; }

    struct RecorderMenuState {
        bool recordStartEnabled = true;
        bool recordStopEnabled = false;
        bool playbackStartEnabled = true;
    };
    RecorderMenuState recorderMenuState() const;
    // Timer 1's share: the indicator blinks while recording and side A runs.
    void OnRecorderBlinkTick();
    bool recorderIndicatorShown() const { return blink_; }

  private:
    // Why side A cannot send played bytes now; empty when it can.
    std::string sideAUnusable() const;
    void playDue();
    Channel* sideAOutput() const;
    void finishPlayback();
    void armTimer();

    RecorderView& view_;
    PortSide& sideA_;
    DisplayStep& display_;
    RecorderTargets targets_;
    RecorderWriter writer_;
    bool blink_ = false;
    MonotonicClock* playbackClock_;
    LogClock* nameClock_;
    CFileNeu playFile_;
    std::unique_ptr<RecorderReader> reader_;
    std::unique_ptr<PlaybackScheduler> scheduler_;
    QTimer playTimer_;
    int lastPercent_ = -1;
};

}  // namespace pv
