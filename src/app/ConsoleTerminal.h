#pragma once

#include <QObject>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "ports/FdOutput.h"
#include "terminal/TerminalChannel.h"
#include "terminal/TerminalKeyDecoder.h"

class QSocketNotifier;

namespace pv {

class Prompt;
class TerminalControl;

// The terminal of the headless front end, as picocom does it: what is typed on standard input
// goes through the terminal's input rules into the B to A direction, and side A's bytes (and
// the local echo) go to standard output unchanged, for the user's own terminal emulator to
// show. While standard input is a terminal it is in raw mode, without echo and line editing,
// but with Ctrl-C still a signal that ends the run; the mode it had comes back when this
// object goes, and at exit whatever way the program ends. The end of a piped input ends the
// input only.
class ConsoleTerminal : public QObject, public TerminalOutput {
    Q_OBJECT

  public:
    // Input that waits for side A, above which standard input is not read for the moment.
    static constexpr size_t kInputHighWater = 64 * 1024;
    // After this long without a byte, a lone ESC is the Escape key.
    static constexpr int kQuietMs = 50;

    ConsoleTerminal(TerminalControl& terminal, Prompt& prompt, int in = 0, int out = 1);
    ~ConsoleTerminal() override;
    ConsoleTerminal(const ConsoleTerminal&) = delete;
    ConsoleTerminal& operator=(const ConsoleTerminal&) = delete;

    // Takes over standard input and output.
    void start();
    bool inputEnded() const { return ended_; }

    void show(std::string_view bytes) override;
    ShownRemoval removeLast() override;
    size_t backlog() const override { return output_.backlog(); }

  private:
    void onReadable();
    void settle();
    void endInput();
    void press(const std::vector<TerminalKey>& keys);
    void followPending();
    void write(std::string_view bytes);

    TerminalControl& terminal_;
    Prompt& prompt_;
    int in_;
    int out_;
    int ownOut_ = -1;  // standard output opened again, non-blocking for us alone
    std::unique_ptr<QSocketNotifier> reader_;
    QTimer quiet_;
    TerminalKeyDecoder decoder_;
    FdOutput output_;
    bool ended_ = false;
    bool held_ = false;  // reading stopped while too much input waits
    bool outputLost_ = false;
    std::vector<TerminalKey> keys_;
};

}  // namespace pv
