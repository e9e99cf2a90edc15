// The command line of the front end without a window; the input is its arguments, split at NULs.
// A line that is taken holds values in their documented ranges, and the options it gives, written
// out as a command line again, parse to the same options.
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/HeadlessOptions.h"
#include "recording/PlaybackScheduler.h"

using namespace pv;

namespace pv {
namespace {

std::vector<std::string> commandLineOf(const HeadlessOptions& o) {
    std::vector<std::string> args;
    const auto flag = [&args](bool on, const char* name) {
        if (on) {
            args.emplace_back(name);
        }
    };
    const auto value = [&args](const char* name, const std::string& v) {
        args.emplace_back(name);
        args.push_back(v);
    };
    flag(o.headless, "--headless");
    flag(o.help, "--help");
    flag(o.version, "--version");
    flag(o.save, "--save");
    flag(o.demo, "--demo");
    flag(o.monitor, "--monitor");
    flag(o.reopen, "--reopen");
    flag(o.terminal, "--terminal");
    flag(o.controlKeys, "--control-keys");
    value("--device-a", o.deviceA);
    value("--device-b", o.deviceB);
    if (!o.paramsFile.empty()) {
        value("--params", o.paramsFile);
    }
    if (!o.logFile.empty()) {
        value("--log", o.logFile);
    }
    value("--virtual-dir", o.virtualDirectory);
    value("--start", o.startA ? (o.startB ? "ab" : "a") : (o.startB ? "b" : "none"));
    if (o.baud) {
        value("--baud", std::to_string(*o.baud));
    }
    if (o.parity) {
        value("--parity", std::string(1, *o.parity));
    }
    if (o.dataBits) {
        value("--data-bits", std::to_string(*o.dataBits));
    }
    if (o.stopBits) {
        value("--stop-bits", std::to_string(*o.stopBits));
    }
    static const char* const kTimestamps[] = {nullptr, "abs", "start", "delta"};
    if (const char* kind = kTimestamps[static_cast<int>(o.monitorTimes.column)]) {
        value("--timestamps", kind);
    }
    if (const char* kind = kTimestamps[static_cast<int>(o.logTimes)]) {
        value("--log-timestamps", kind);
    }
    if (o.monitorTimes.pauseRowMs > 0) {
        value("--pause-row", std::to_string(o.monitorTimes.pauseRowMs));
    }
    if (o.durationSeconds > 0) {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", o.durationSeconds);
        value("--duration", text);
    }
    if (o.logFormat) {
        value("--log-format", logFormatName(*o.logFormat));
    }
    if (!o.sendFile.empty()) {
        value("--send", o.sendFile);
    }
    if (o.sendDelayMs && o.sendDelayBytes) {
        value("--send-delay",
              std::to_string(*o.sendDelayMs) + ":" + std::to_string(*o.sendDelayBytes));
    }
    if (o.sendLineDelayMs) {
        value("--send-line-delay", std::to_string(*o.sendLineDelayMs));
    }
    if (!o.sendWaitFor.empty()) {
        char text[8];
        std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned char>(o.sendWaitFor[0]));
        value("--send-wait-for", text);
    }
    if (!o.downloadFile.empty()) {
        value("--download", o.downloadFile);
    }
    if (!o.rfc2217A.empty()) {
        value("--rfc2217-a", o.rfc2217A);
    }
    if (!o.rfc2217B.empty()) {
        value("--rfc2217-b", o.rfc2217B);
    }
    if (!o.recordFile.empty()) {
        value("--record", o.recordFile);
    }
    if (!o.playFile.empty()) {
        value("--play", o.playFile);
    }
    if (o.playSpeed != 1.0) {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", o.playSpeed);
        value("--play-speed", text);
    }
    if (o.playLoop != 1) {
        value("--play-loop", std::to_string(o.playLoop));
    }
    if (!o.dumpRecFile.empty()) {
        value("--dump-rec", o.dumpRecFile);
    }
    return args;
}

}  // namespace
}  // namespace pv

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args;
    std::string arg;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(arg);
            arg.clear();
        } else {
            arg.push_back(static_cast<char>(data[i]));
        }
    }
    if (!arg.empty()) {
        args.push_back(arg);
    }
    const ParsedOptions parsed = parseHeadlessOptions(args);
    if (!parsed.error.empty()) {
        return 0;
    }
    const HeadlessOptions& o = parsed.options;
    PV_FUZZ_CHECK(!o.baud || (*o.baud >= 1 && *o.baud <= 100000000));
    PV_FUZZ_CHECK(!o.parity || *o.parity == 'N' || *o.parity == 'E' || *o.parity == 'O');
    PV_FUZZ_CHECK(!o.dataBits || *o.dataBits == 7 || *o.dataBits == 8);
    PV_FUZZ_CHECK(!o.stopBits || *o.stopBits == 1 || *o.stopBits == 2);
    PV_FUZZ_CHECK(!o.logFormat || !o.logFile.empty());
    PV_FUZZ_CHECK(o.logTimes == TimeColumn::Off || !o.logFile.empty());
    PV_FUZZ_CHECK(o.durationSeconds == 0 || (o.durationSeconds >= kMinDurationSeconds &&
                                             o.durationSeconds <= kMaxDurationSeconds));

    PV_FUZZ_CHECK(o.playFile.empty() ? o.playSpeed == 1.0 && o.playLoop == 1
                                     : PlaybackOptions::validSpeed(o.playSpeed));
    PV_FUZZ_CHECK(o.recordFile.empty() || o.playFile.empty());

    const ParsedOptions again = parseHeadlessOptions(pv::commandLineOf(o));
    PV_FUZZ_CHECK(again.error.empty() && again.options == o);
    return 0;
}
