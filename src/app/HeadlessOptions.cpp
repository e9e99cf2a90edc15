#include "app/HeadlessOptions.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>

#include "ports/Rfc2217Address.h"
#include "recording/PlaybackScheduler.h"
#include "terminal/TransferRules.h"

namespace pv {

namespace {

using Apply = std::function<std::string(HeadlessOptions&, const std::string&)>;

constexpr const char* kTextTerminalWithMonitor =
    "--terminal and --monitor cannot be used together: both write to stdout";
constexpr const char* kTextTerminalWithDemo =
    "--terminal and --demo cannot be used together: the demo monitors on stdout";
constexpr const char* kTextLogFormatWithoutLog = "--log-format is only used with --log";
constexpr const char* kTextLogTimestampsWithoutLog = "--log-timestamps is only used with --log";

constexpr std::pair<const char*, LogMode> kLogFormats[] = {
    {"complex", LogMode::Complex}, {"hex", LogMode::SingleHex}, {"plain", LogMode::PlainAscii}};
constexpr const char* kTextRecordWithPlay =
    "--record and --play cannot be used together: recording and playback exclude each other";
constexpr const char* kTextPlayOptionsWithoutPlay = "--play-speed and --play-loop need --play";
constexpr uint32_t kMaxPlayLoop = 1000000;

struct Option {
    const char* name;
    const char* argument;  // nullptr for a flag
    const char* help;
    Apply apply;
};

std::string parseInt(const std::string& text, int low, int high, std::optional<int>& out) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return "expects a whole number from " + std::to_string(low) + " to " + std::to_string(high);
    }
    out = value;
    return {};
}

// MS:BYTES with the limits and the first message of the delay fields' corrections.
std::string parseSendDelay(const std::string& text, HeadlessOptions& o) {
    const size_t colon = text.find(':');
    const auto isNumber = [](std::string_view part) {
        return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (colon == std::string::npos || !isNumber(std::string_view(text).substr(0, colon)) ||
        !isNumber(std::string_view(text).substr(colon + 1))) {
        return std::string("expects MS:BYTES, two whole numbers");
    }
    std::string ms = text.substr(0, colon);
    std::string bytes = text.substr(colon + 1);
    const auto corrections = correctDelayFields(ms, bytes);
    if (!corrections.empty()) {
        return "expects MS from 1 to 5000 and BYTES from 1 to 1023: " + corrections.front().message;
    }
    o.sendDelayMs = static_cast<int>(decimalValue(ms));
    o.sendDelayBytes = static_cast<int>(decimalValue(bytes));
    return std::string();
}

std::string parseWaitFor(const std::string& text, HeadlessOptions& o) {
    if (text.size() == 1) {
        o.sendWaitFor = text;
        return std::string();
    }
    unsigned value = 0;
    if (text.size() == 4 && (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0)) {
        auto [end, ec] = std::from_chars(text.data() + 2, text.data() + 4, value, 16);
        if (ec == std::errc() && end == text.data() + 4) {
            o.sendWaitFor = std::string(1, static_cast<char>(value));
            return std::string();
        }
    }
    return std::string("expects one character or 0xNN");
}

std::string parseDevice(const std::string& text, std::string& out) {
    std::string error;
    if (isRfc2217Device(text) && !parseRfc2217Device(text, error)) {
        return "is wrong: " + error;
    }
    out = text;
    return {};
}

std::string parseListen(const std::string& text, std::string& out) {
    std::string error;
    if (!parseRfc2217Listen(text, error)) {
        return "is wrong: " + error;
    }
    out = text;
    return {};
}

std::optional<TimeColumn> timeColumnNamed(const std::string& name, bool offToo) {
    static const std::pair<const char*, TimeColumn> kinds[] = {{"abs", TimeColumn::Clock},
                                                               {"start", TimeColumn::SinceStart},
                                                               {"delta", TimeColumn::SincePrevious},
                                                               {"off", TimeColumn::Off}};
    for (const auto& [text, column] : kinds) {
        if (name == text && (offToo || column != TimeColumn::Off)) {
            return column;
        }
    }
    return std::nullopt;
}

const std::vector<Option>& optionTable() {
    static const std::vector<Option> table = {
        {"--headless", nullptr, "run without a window; messages go to stderr",
         [](HeadlessOptions& o, const std::string&) {
             o.headless = true;
             return std::string();
         }},
        {"--params", "FILE", "parameter file to load (default: PortaVigilant.dat here)",
         [](HeadlessOptions& o, const std::string& v) {
             if (v.empty()) {
                 return std::string("needs a file name");
             }
             // A device or FIFO would be read for ever; a missing file means the defaults.
             struct stat st {};
             if (::stat(v.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
                 return "expects a regular file ('" + v + "' is not one)";
             }
             o.paramsFile = v;
             return std::string();
         }},
        {"--save", nullptr, "write the settings back to the parameter file at the end",
         [](HeadlessOptions& o, const std::string&) {
             o.save = true;
             return std::string();
         }},
        {"--device-a", "PATH",
         "serial device of Comport A (instead of the file's side A); rfc2217://HOST:PORT is a "
         "port on another machine",
         [](HeadlessOptions& o, const std::string& v) { return parseDevice(v, o.deviceA); }},
        {"--device-b", "PATH", "serial device of Comport B (instead of the file's side B)",
         [](HeadlessOptions& o, const std::string& v) { return parseDevice(v, o.deviceB); }},
        {"--baud", "N", "baud rate of both sides (default: the file's)",
         [](HeadlessOptions& o, const std::string& v) {
             return parseInt(v, 1, 100000000, o.baud);
         }},
        {"--parity", "N|E|O", "parity of both sides (default: the file's)",
         [](HeadlessOptions& o, const std::string& v) {
             if (v.size() != 1 || std::strchr("NEOneo", v[0]) == nullptr) {
                 return std::string("expects N, E or O");
             }
             o.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(v[0])));
             return std::string();
         }},
        {"--data-bits", "7|8", "data bits of both sides (default: the file's)",
         [](HeadlessOptions& o, const std::string& v) { return parseInt(v, 7, 8, o.dataBits); }},
        {"--stop-bits", "1|2", "stop bits of both sides (default: the file's)",
         [](HeadlessOptions& o, const std::string& v) { return parseInt(v, 1, 2, o.stopBits); }},
        {"--duration", "SECONDS", "stop after this many seconds (default: until SIGINT/SIGTERM)",
         [](HeadlessOptions& o, const std::string& v) {
             char* end = nullptr;
             const double d = std::strtod(v.c_str(), &end);
             if (v.empty() || *end != '\0' || !(d > 0)) {
                 return std::string("expects a positive number of seconds");
             }
             if (!(d <= kMaxDurationSeconds)) {
                 return "expects at most " + std::to_string(static_cast<int>(kMaxDurationSeconds)) +
                        " seconds";
             }
             // Less would round to a timer of no milliseconds, which ends the run at once.
             if (d < kMinDurationSeconds) {
                 return std::string("expects at least 0.001 seconds");
             }
             o.durationSeconds = d;
             return std::string();
         }},
        {"--start", "a|b|ab|none", "which sides to start (default ab)",
         [](HeadlessOptions& o, const std::string& v) {
             if (v != "a" && v != "b" && v != "ab" && v != "none") {
                 return std::string("expects a, b, ab or none");
             }
             o.startA = v.find('a') != std::string::npos && v != "none";
             o.startB = v.find('b') != std::string::npos;
             return std::string();
         }},
        {"--virtual-dir", "DIR", "folder where virtual ports are published",
         [](HeadlessOptions& o, const std::string& v) {
             o.virtualDirectory = v;
             return std::string();
         }},
        {"--demo", nullptr,
         "no hardware needed: sides A and B as virtual ports COM1 and COM2, monitored",
         [](HeadlessOptions& o, const std::string&) {
             o.demo = true;
             o.headless = true;
             o.monitor = true;
             return std::string();
         }},
        {"--log", "FILE",
         "write both directions to the log file FILE (emptied first), in the form --log-format "
         "names",
         [](HeadlessOptions& o, const std::string& v) {
             if (v.empty()) {
                 return std::string("needs a file name");
             }
             o.logFile = v;
             return std::string();
         }},
        {"--monitor", nullptr, "print the traffic on stdout: side, hex and text of each row",
         [](HeadlessOptions& o, const std::string&) {
             o.monitor = true;
             return std::string();
         }},
        {"--timestamps", "abs|start|delta",
         "--monitor lines begin with the time of day, the time since the first line, or the "
         "time since the previous line; the other side's answer shows its response time",
         [](HeadlessOptions& o, const std::string& v) {
             std::optional<TimeColumn> column = timeColumnNamed(v, false);
             o.monitorTimes.column = column.value_or(TimeColumn::Off);
             return column ? std::string() : std::string("expects abs, start or delta");
         }},
        {"--pause-row", "MS", "--monitor starts a new row when bytes follow MS ms of quiet",
         [](HeadlessOptions& o, const std::string& v) {
             std::optional<int> ms;
             std::string error = parseInt(v, 1, RowClock::kMaxPauseRowMs, ms);
             o.monitorTimes.pauseRowMs = ms.value_or(0);
             return error;
         }},
        {"--reopen", nullptr,
         "a side whose device is lost waits for it to come back and opens it again (default: "
         "when every side has lost its device, the run ends with status 1)",
         [](HeadlessOptions& o, const std::string&) {
             o.reopen = true;
             return std::string();
         }},
        {"--terminal", nullptr,
         "side B is a terminal: what you type goes to side A, side A's bytes come out on "
         "stdout unchanged; Ctrl-C ends the run",
         [](HeadlessOptions& o, const std::string&) {
             o.terminal = true;
             o.headless = true;
             return std::string();
         }},
        {"--control-keys", nullptr,
         "--terminal sends Tab, Esc, Ctrl+letter and the cursor keys to side A as their bytes",
         [](HeadlessOptions& o, const std::string&) {
             o.controlKeys = true;
             return std::string();
         }},
        {"--log-format", "complex|hex|plain",
         "the form of --log: rows of text and hex under a header with time and side (complex, "
         "the default), one line per byte with its hex value, side and pause in ms (hex), or the "
         "bytes alone (plain)",
         [](HeadlessOptions& o, const std::string& v) {
             for (const auto& [name, mode] : kLogFormats) {
                 if (v == name) {
                     o.logFormat = mode;
                     return std::string();
                 }
             }
             return std::string("expects complex, hex or plain");
         }},
        {"--log-timestamps", "abs|start|delta|off",
         "the --log file's single hex lines and complex rows get the time of day, the time "
         "since the first row, or the time since the previous row, and the other side's answer "
         "its response time; off (the default): none",
         [](HeadlessOptions& o, const std::string& v) {
             const std::optional<TimeColumn> column = timeColumnNamed(v, true);
             o.logTimes = column.value_or(TimeColumn::Off);
             return column ? std::string() : std::string("expects abs, start, delta or off");
         }},
        {"--send", "FILE",
         "side B is the terminal and uploads FILE once the sides run (\"sent N of M bytes\" on "
         "stderr); the run ends after it unless --duration or --terminal keeps it",
         [](HeadlessOptions& o, const std::string& v) {
             if (v.empty()) {
                 return std::string("needs a file name");
             }
             o.sendFile = v;
             o.headless = true;
             return std::string();
         }},
        {"--send-delay", "MS:BYTES",
         "--send pauses MS ms (1 to 5000) after every BYTES bytes (1 to 1023)",
         [](HeadlessOptions& o, const std::string& v) { return parseSendDelay(v, o); }},
        {"--send-line-delay", "MS", "--send pauses MS ms after each line",
         [](HeadlessOptions& o, const std::string& v) {
             return parseInt(v, 0, kMaxLinePauseMs, o.sendLineDelayMs);
         }},
        {"--send-wait-for", "CHAR",
         "--send waits after each line until side A sends CHAR (one character, or 0xNN), at "
         "most the parameter file's time-out (default 2000 ms)",
         [](HeadlessOptions& o, const std::string& v) { return parseWaitFor(v, o); }},
        {"--download", "FILE",
         "side B is the terminal and writes everything it shows to FILE (emptied first)",
         [](HeadlessOptions& o, const std::string& v) {
             if (v.empty()) {
                 return std::string("needs a file name");
             }
             o.downloadFile = v;
             o.headless = true;
             return std::string();
         }},
        {"--record", "FILE",
         "record the bytes received on side A with their timing into FILE (emptied first)",
         [](HeadlessOptions& o, const std::string& v) {
             if (v.empty()) {
                 return std::string("needs a file name");
             }
             o.recordFile = v;
             return std::string();
         }},
        {"--play", "FILE",
         "once the sides run, send the recording FILE out through side A with its timing; the "
         "run ends with it unless --duration is given (status 5 when refused or failed)",
         [](HeadlessOptions& o, const std::string& v) {
             if (v.empty()) {
                 return std::string("needs a file name");
             }
             o.playFile = v;
             return std::string();
         }},
        {"--play-speed", "FACTOR", "--play runs FACTOR times as fast as recorded (0.01 to 1000)",
         [](HeadlessOptions& o, const std::string& v) {
             char* end = nullptr;
             const double f = std::strtod(v.c_str(), &end);
             if (v.empty() || *end != '\0' || !PlaybackOptions::validSpeed(f)) {
                 return std::string("expects a factor from 0.01 to 1000");
             }
             o.playSpeed = f;
             return std::string();
         }},
        {"--play-loop", "N", "--play sends the recording N times back to back (0: until the end)",
         [](HeadlessOptions& o, const std::string& v) {
             std::optional<int> n;
             std::string error = parseInt(v, 0, static_cast<int>(kMaxPlayLoop), n);
             o.playLoop = static_cast<uint32_t>(n.value_or(1));
             return error;
         }},
        {"--dump-rec", "FILE",
         "print the recording FILE as text (milliseconds since the start, hex, ASCII) and exit",
         [](HeadlessOptions& o, const std::string& v) {
             if (v.empty()) {
                 return std::string("needs a file name");
             }
             o.dumpRecFile = v;
             return std::string();
         }},
        {"--help", nullptr, "show this text",
         [](HeadlessOptions& o, const std::string&) {
             o.help = true;
             return std::string();
         }},
        {"--version", nullptr, "show the version",
         [](HeadlessOptions& o, const std::string&) {
             o.version = true;
             return std::string();
         }},
        {"--rfc2217-a", "[ADDR:]PORT",
         "offer Comport A to the network as an RFC 2217 port (instead of its device); the "
         "address defaults to 127.0.0.1, a wider one is your choice",
         [](HeadlessOptions& o, const std::string& v) { return parseListen(v, o.rfc2217A); }},
        {"--rfc2217-b", "[ADDR:]PORT", "offer Comport B as an RFC 2217 port",
         [](HeadlessOptions& o, const std::string& v) { return parseListen(v, o.rfc2217B); }},
    };
    return table;
}

const Option* findOption(const std::string& name) {
    for (const Option& option : optionTable()) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace

ParsedOptions parseHeadlessOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            hasValue = true;
        }
        const Option* option = findOption(name);
        if (option == nullptr) {
            parsed.error = "unknown option '" + args[i] + "'";
            return parsed;
        }
        if (option->argument != nullptr && !hasValue) {
            if (i + 1 >= args.size()) {
                parsed.error = name + " needs " + option->argument;
                return parsed;
            }
            value = args[++i];
        } else if (option->argument == nullptr && hasValue) {
            parsed.error = name + " takes no value";
            return parsed;
        }
        if (std::string problem = option->apply(parsed.options, value); !problem.empty()) {
            parsed.error = name + " " + problem;
            return parsed;
        }
    }
    if (parsed.options.terminal && parsed.options.monitor) {
        parsed.error = parsed.options.demo ? kTextTerminalWithDemo : kTextTerminalWithMonitor;
    }
    if (parsed.options.logFormat && parsed.options.logFile.empty()) {
        parsed.error = kTextLogFormatWithoutLog;
    }
    if (!parsed.options.recordFile.empty() && !parsed.options.playFile.empty()) {
        parsed.error = kTextRecordWithPlay;
    }
    if (parsed.options.playFile.empty() &&
        (parsed.options.playSpeed != 1.0 || parsed.options.playLoop != 1)) {
        parsed.error = kTextPlayOptionsWithoutPlay;
    }
    if (parsed.options.logTimes != TimeColumn::Off && parsed.options.logFile.empty()) {
        parsed.error = kTextLogTimestampsWithoutLog;
    }
    return parsed;
}

const char* logFormatName(LogMode mode) {
    for (const auto& [name, m] : kLogFormats) {
        if (m == mode) {
            return name;
        }
    }
    return "";
}

std::string headlessUsage() {
    std::string text =
        "usage: portavigilant [--headless [--params FILE] [--device-a PATH] [--device-b PATH] "
        "[options]]\n"
        "Without --headless the main window opens. The sides are set up as the parameter file\n"
        "says; the options below change that for this run.\n\noptions:\n";
    for (const Option& option : optionTable()) {
        std::string left = std::string("  ") + option.name;
        if (option.argument != nullptr) {
            left += std::string(" ") + option.argument;
        }
        left.resize(std::max<size_t>(left.size() + 2, 26), ' ');
        text += left + option.help + "\n";
    }
    return text;
}

}  // namespace pv
