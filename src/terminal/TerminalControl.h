#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <string_view>

#include "terminal/TerminalChannel.h"
#include "terminal/TerminalInput.h"
#include "terminal/TerminalScreen.h"

namespace pv {

class Prompt;
struct TerminalSettings;

// The terminal standing in for side B, without its window: the channel through which side A's
// bytes reach it and its input enters the B to A direction, the input rules, and the text area
// model. Side A's bytes go to the screen (or to a console the headless front end sets); every
// key, paste or function key becomes blocks of side B that wait in the channel until side A
// can take them, in the order they were given. Main thread only.
class TerminalControl : public QObject, private TerminalSink {
    Q_OBJECT

  public:
    // sideAStarted tells whether typed bytes can leave at all.
    TerminalControl(TerminalSettings& settings, Prompt& prompt, std::function<bool()> sideAStarted,
                    QObject* parent = nullptr);
    ~TerminalControl() override;

    TerminalChannel& channel() { return channel_; }
    TerminalScreen& screen() { return screen_; }
    TerminalSettings& settings() { return settings_; }
    // Where received bytes and the echo go instead of the screen; nullptr: the screen again.
    void setOutput(TerminalOutput* output);
    // Sees first everything the terminal shows, received bytes and echo alike, in the order
    // shown (the download); an empty function: nothing does.
    void setShowTap(std::function<void(std::string_view)> tap) { tap_.tap = std::move(tap); }
    bool running() const { return running_; }

    // The terminal became side B (a fresh text area, no pending digit) or stopped being it
    // (input that has not left yet is dropped, and the user hears how much).
    void setRunning(bool on);

    // A key of the window or the console. The refusal of the outcome is also where the user
    // learns that side A is not started.
    TerminalKeyOutcome press(const TerminalKey& key);
    // Clipboard text as one input; the refusal text, or empty.
    std::string paste(std::u16string_view text);
    // "Hex Input" was switched: a half-typed byte is forgotten.
    void hexInputChanged() { input_.clearPending(); }
    bool hexPending() const { return input_.hexPending(); }
    // "Clear": the text area starts empty.
    void clear() { screen_.clear(); }

  private:
    void sendBlock(std::string_view bytes) override;
    void echo(std::string_view bytes) override;
    ShownRemoval removeLastShown() override;
    // The refusal for input that went into the chain while it cannot reach side A, or was
    // refused because too much waits.
    std::string afterInput(std::string refusal);

    class ScreenOutput : public TerminalOutput {
      public:
        explicit ScreenOutput(TerminalScreen& screen) : screen_(screen) {}
        void show(std::string_view bytes) override { screen_.show(bytes); }
        ShownRemoval removeLast() override { return screen_.removeLast(); }

      private:
        TerminalScreen& screen_;
    };

    // Hands what is shown to the tap, then to the screen or the console.
    class TapOutput : public TerminalOutput {
      public:
        void show(std::string_view bytes) override {
            if (tap) {
                tap(bytes);
            }
            inner->show(bytes);
        }
        ShownRemoval removeLast() override { return inner->removeLast(); }
        size_t backlog() const override { return inner->backlog(); }

        TerminalOutput* inner = nullptr;
        std::function<void(std::string_view)> tap;
    };

    TerminalSettings& settings_;
    Prompt& prompt_;
    std::function<bool()> sideAStarted_;
    TerminalScreen screen_;
    ScreenOutput screenOutput_{screen_};
    TapOutput tap_;
    TerminalChannel channel_;
    TerminalInput input_;
    bool running_ = false;
    bool sent_ = false;   // the key or paste in hand gave input
    size_t refused_ = 0;  // bytes of it that did not fit the channel
};

}  // namespace pv
