#include "app/ConsoleTerminal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/Prompt.h"
#include "base/TextFormat.h"
#include "terminal/TerminalControl.h"

namespace pv {

namespace {

constexpr const char* kTextBackground =
    "Standard input is a terminal in whose foreground this program does not run: nothing "
    "typed there is read.";
constexpr const char* kTextOutputLost =
    "Standard output failed (%s): side A's bytes are no longer shown.";
constexpr const char* kTextOutputBehind =
    "Standard output fell behind: some of side A's bytes were not shown.";
constexpr char kRubOut[] = "\b \b";

// The console's mode before raw mode, put back once whatever way the program ends.
struct SavedMode {
    int fd = -1;
    termios mode{};
};
SavedMode saved;

void restoreMode() {
    if (saved.fd >= 0) {
        ::tcsetattr(saved.fd, TCSANOW, &saved.mode);
        saved.fd = -1;
    }
}

// Raw input with Ctrl-C as the one signal key left: no echo, no line editing, no
// translation of CR, no XON/XOFF; Ctrl-Z and Ctrl-\ come in as bytes instead of stopping or
// killing a program that could then not restore the mode.
bool enterRawMode(int fd) {
    termios mode{};
    if (::tcgetattr(fd, &mode) != 0) {
        return false;
    }
    saved = {fd, mode};
    static const bool registered = std::atexit(restoreMode) == 0;
    (void)registered;
    mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
    mode.c_lflag |= ISIG;
    mode.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP);
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    mode.c_cc[VSUSP] = _POSIX_VDISABLE;
    mode.c_cc[VQUIT] = _POSIX_VDISABLE;
    return ::tcsetattr(fd, TCSANOW, &mode) == 0;
}

// A terminal or pipe on standard output is opened again, so that non-blocking writes do not
// change the descriptor the shell shares; anything else is written as it is.
int openOutput(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        const std::string path = "/proc/self/fd/" + std::to_string(fd);
        const int own = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (own >= 0) {
            return own;
        }
    }
    return -1;
}

}  // namespace

ConsoleTerminal::ConsoleTerminal(TerminalControl& terminal, Prompt& prompt, int in, int out)
    : terminal_(terminal), prompt_(prompt), in_(in), out_(out), output_(this, [this] {
          terminal_.channel().outputShrank();
      }) {
    quiet_.setSingleShot(true);
    connect(&quiet_, &QTimer::timeout, this, &ConsoleTerminal::settle);
    connect(&terminal_.channel(), &TerminalChannel::inputRead, this,
            &ConsoleTerminal::followPending);
}

ConsoleTerminal::~ConsoleTerminal() {
    terminal_.setOutput(nullptr);
    reader_.reset();
    if (saved.fd == in_) {
        restoreMode();
    }
    output_.detach();
    if (ownOut_ >= 0) {
        ::close(ownOut_);
    }
}

void ConsoleTerminal::start() {
    ownOut_ = openOutput(out_);
    output_.attach(ownOut_ >= 0 ? ownOut_ : out_);
    terminal_.setOutput(this);
    if (::isatty(in_) == 1) {
        // tcgetpgrp fails when the terminal is not this session's; then it is ours to use.
        const pid_t foreground = ::tcgetpgrp(in_);
        if (foreground >= 0 && foreground != ::getpgrp()) {
            prompt_.notice(kTextBackground);
            ended_ = true;
            return;
        }
        enterRawMode(in_);
    }
    reader_ = std::make_unique<QSocketNotifier>(in_, QSocketNotifier::Read);
    connect(reader_.get(), &QSocketNotifier::activated, this, &ConsoleTerminal::onReadable);
}

void ConsoleTerminal::onReadable() {
    char buffer[4096];
    const ssize_t n = ::read(in_, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
        return;
    }
    if (n <= 0) {
        endInput();
        return;
    }
    keys_.clear();
    decoder_.feed(std::string_view(buffer, static_cast<size_t>(n)), keys_);
    press(keys_);
    if (decoder_.waiting()) {
        quiet_.start(kQuietMs);
    }
    followPending();
}

void ConsoleTerminal::settle() {
    keys_.clear();
    decoder_.flush(keys_);
    press(keys_);
}

void ConsoleTerminal::endInput() {
    ended_ = true;
    reader_.reset();
    quiet_.stop();
    settle();
}

void ConsoleTerminal::press(const std::vector<TerminalKey>& keys) {
    std::string said;
    for (const TerminalKey& key : keys) {
        // There is no clipboard to paste from, and the help is the usage text.
        const TerminalKeyOutcome outcome = terminal_.press(key);
        if (!outcome.refusal.empty() && outcome.refusal != said) {
            prompt_.notice(outcome.refusal);
            said = outcome.refusal;
        }
    }
}

// A pipe that brings more than side A takes waits in the pipe, not here.
void ConsoleTerminal::followPending() {
    if (!reader_) {
        return;
    }
    const size_t pending = terminal_.channel().pendingInput();
    if (!held_ && pending > kInputHighWater) {
        held_ = true;
        reader_->setEnabled(false);
    } else if (held_ && pending <= kInputHighWater / 2) {
        held_ = false;
        reader_->setEnabled(true);
    }
}

void ConsoleTerminal::show(std::string_view bytes) {
    write(bytes);
}

ShownRemoval ConsoleTerminal::removeLast() {
    write(kRubOut);
    return ShownRemoval::Character;
}

void ConsoleTerminal::write(std::string_view bytes) {
    if (outputLost_ || bytes.empty()) {
        return;
    }
    const size_t refused =
        output_.send(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (output_.error() != 0) {
        outputLost_ = true;
        prompt_.notice(formatText(kTextOutputLost, std::strerror(output_.error())));
    } else if (refused > 0) {
        prompt_.notice(kTextOutputBehind);
    }
}

}  // namespace pv
