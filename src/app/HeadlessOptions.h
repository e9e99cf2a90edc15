#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "datapath/RowClock.h"
#include "recording/LogSettings.h"

namespace pv {

// Command line of the front end without a window. Every option is declared once, in the table
// in HeadlessOptions.cpp, which also produces the usage text; the bash completion reads its
// options from that text, and the manual page (packaging/portavigilant.1.in) needs an entry for
// each, which the packaging check makes sure of.
struct HeadlessOptions {
    bool headless = false;
    bool help = false;
    bool version = false;
    std::string deviceA;
    std::string deviceB;
    // Line settings of both sides; unset ones keep what the parameter file says.
    std::optional<int> baud;
    std::optional<char> parity;
    std::optional<int> dataBits;
    std::optional<int> stopBits;
    std::string paramsFile;      // empty: PortaVigilant.dat in the current folder
    bool save = false;           // write the parameter file back at the end
    double durationSeconds = 0;  // 0: until SIGINT or SIGTERM
    bool startA = true;
    bool startB = true;
    std::string virtualDirectory;  // empty: the default virtual port directory
    bool demo = false;             // both sides virtual ports COM1 and COM2
    std::string logFile;           // empty: no logging
    bool monitor = false;          // print the traffic on stdout
    // The time at the start of each monitor line, and new rows after a quiet line.
    TimeViewOptions monitorTimes;
    bool reopen = false;       // a side whose device is lost waits for it to come back
    bool terminal = false;     // side B is a terminal on stdin and stdout
    bool controlKeys = false;  // the terminal sends Tab, Esc, Ctrl+letter and cursor keys
    // The form of --log; none: the default (complex) one. Only with --log.
    std::optional<LogMode> logFormat;
    // The time column of --log; like the rest of its form, not the parameter file's.
    TimeColumn logTimes = TimeColumn::Off;
    // Raw file transfer; either makes side B the terminal side.
    std::string sendFile;  // uploaded once the sides run
    std::optional<int> sendDelayMs;
    std::optional<int> sendDelayBytes;
    std::optional<int> sendLineDelayMs;
    std::string sendWaitFor;   // one byte, or empty
    std::string downloadFile;  // everything the terminal shows goes here

    // Side B is the terminal: on stdin and stdout, or for a file transfer.
    bool terminalSide() const { return terminal || !sendFile.empty() || !downloadFile.empty(); }
    // "[ADDRESS:]PORT": the side is offered as an RFC 2217 port there instead of its device.
    std::string rfc2217A;
    std::string rfc2217B;
    std::string recordFile;  // empty: no recording of side A
    std::string playFile;    // empty: no playback into side A
    double playSpeed = 1.0;
    uint32_t playLoop = 1;    // passes of the playback; 0: until the run ends
    std::string dumpRecFile;  // print this recorder file as text and exit

    bool operator==(const HeadlessOptions&) const = default;
};

// The longest run a millisecond timer can end: about 24 days; the shortest, one millisecond.
constexpr double kMaxDurationSeconds = 2147483;
constexpr double kMinDurationSeconds = 0.001;

struct ParsedOptions {
    HeadlessOptions options;
    std::string error;  // not empty when the command line is wrong
};

ParsedOptions parseHeadlessOptions(const std::vector<std::string>& args);
// The names --log-format takes: "complex", "hex", "plain".
const char* logFormatName(LogMode mode);
std::string headlessUsage();

constexpr int kExitOk = 0;
constexpr int kExitSideFailed = 1;  // also: every started side lost its device
constexpr int kExitSidesLost = kExitSideFailed;
constexpr int kExitBadArguments = 2;
constexpr int kExitLogFailed = 3;  // also: the recorder file cannot be created
constexpr int kExitSaveFailed = 4;
constexpr int kExitTransferFailed = 5;  // --send or --download could not start or did not end well
// A playback that was refused (side A cannot send, a bad file) or failed on the way, or a
// --dump-rec of a file that cannot be played: the status of a failed transfer.
constexpr int kExitPlaybackFailed = kExitTransferFailed;

}  // namespace pv
