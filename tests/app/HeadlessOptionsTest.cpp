#include <gtest/gtest.h>

#include <sys/stat.h>

#include "app/HeadlessOptions.h"
#include "support/TempFolder.h"

using namespace pv;

namespace {

TEST(HeadlessOptions, ParsesEveryOptionInBothSpellings) {
    const ParsedOptions parsed =
        parseHeadlessOptions({"--headless", "--device-a", "/dev/ttyUSB0", "--device-b=/dev/ttyUSB1",
                              "--baud", "250000", "--parity=e", "--data-bits", "7", "--stop-bits",
                              "2", "--duration", "1.5", "--log", "run.log", "--reopen"});
    ASSERT_EQ(parsed.error, "");
    const HeadlessOptions& o = parsed.options;
    EXPECT_TRUE(o.headless);
    EXPECT_EQ(o.deviceA, "/dev/ttyUSB0");
    EXPECT_EQ(o.deviceB, "/dev/ttyUSB1");
    EXPECT_EQ(o.baud, 250000);
    EXPECT_EQ(o.parity, 'E');
    EXPECT_EQ(o.dataBits, 7);
    EXPECT_EQ(o.stopBits, 2);
    EXPECT_DOUBLE_EQ(o.durationSeconds, 1.5);
    EXPECT_EQ(o.logFile, "run.log");
    EXPECT_EQ(o.logFormat, std::nullopt) << "the default form";
    EXPECT_TRUE(o.reopen);
    EXPECT_FALSE(parseHeadlessOptions({"--headless"}).options.reopen) << "off unless asked for";

    const ParsedOptions remote = parseHeadlessOptions(
        {"--device-a", "rfc2217://[::1]:4001", "--rfc2217-b=0.0.0.0:4002", "--rfc2217-a", "4003"});
    ASSERT_EQ(remote.error, "");
    EXPECT_EQ(remote.options.deviceA, "rfc2217://[::1]:4001");
    EXPECT_EQ(remote.options.rfc2217A, "4003");
    EXPECT_EQ(remote.options.rfc2217B, "0.0.0.0:4002");
}

TEST(HeadlessOptions, UnsetLineOptionsLeaveTheParameterFileInCharge) {
    const ParsedOptions parsed = parseHeadlessOptions({"--headless"});
    ASSERT_EQ(parsed.error, "") << "the parameter file may name the devices";
    EXPECT_FALSE(parsed.options.baud);
    EXPECT_FALSE(parsed.options.parity);
    EXPECT_FALSE(parsed.options.dataBits);
    EXPECT_FALSE(parsed.options.stopBits);
    EXPECT_EQ(parsed.options.paramsFile, "");
    EXPECT_FALSE(parsed.options.save);
    EXPECT_EQ(parsed.options.durationSeconds, 0);
    const ParsedOptions named =
        parseHeadlessOptions({"--params", "lab.dat", "--save", "--duration", "0.001"});
    ASSERT_EQ(named.error, "") << "a file that is not there yet is written by --save";
    EXPECT_EQ(named.options.paramsFile, "lab.dat");
    EXPECT_TRUE(named.options.save);
    EXPECT_DOUBLE_EQ(named.options.durationSeconds, 0.001);
}

TEST(HeadlessOptions, WrongCommandLinesAreNamed) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--headless", "--device-a"}, "--device-a needs PATH"},
        {{"--params="}, "--params needs a file name"},
        {{"--save=1"}, "--save takes no value"},
        {{"--start", "c"}, "--start expects a, b, ab or none"},
        {{"--baud", "fast"}, "--baud expects a whole number from 1 to 100000000"},
        {{"--baud", "0"}, "--baud expects a whole number from 1 to 100000000"},
        {{"--parity", "X"}, "--parity expects N, E or O"},
        {{"--data-bits", "9"}, "--data-bits expects a whole number from 7 to 8"},
        {{"--stop-bits", "0"}, "--stop-bits expects a whole number from 1 to 2"},
        {{"--duration", "-1"}, "--duration expects a positive number of seconds"},
        {{"--duration", "5s"}, "--duration expects a positive number of seconds"},
        // The timer that ends the run counts milliseconds in an int.
        {{"--duration=2147484"}, "--duration expects at most 2147483 seconds"},
        {{"--duration=inf"}, "--duration expects at most 2147483 seconds"},
        {{"--duration=1e300"}, "--duration expects at most 2147483 seconds"},
        {{"--duration=nan"}, "--duration expects a positive number of seconds"},
        {{"--duration=0"}, "--duration expects a positive number of seconds"},
        // Rounded to whole milliseconds, this would end the run at once.
        {{"--duration=0.0004"}, "--duration expects at least 0.001 seconds"},
        // Reading would never end.
        {{"--params=/dev/zero"}, "--params expects a regular file ('/dev/zero' is not one)"},
        {{"--help=yes"}, "--help takes no value"},
        {{"--log="}, "--log needs a file name"},
        {{"--device-a", "rfc2217://labpc"},
         "--device-a is wrong: The port is missing: write rfc2217://HOST:PORT."},
        {{"--rfc2217-b", "70000"},
         "--rfc2217-b is wrong: '70000' is not a port number from 1 to 65535."},
        {{"--rfc2217-a", "rfc2217://h:1"},
         "--rfc2217-a is wrong: 'rfc2217://h:1' is the address of a remote port; a server takes "
         "[ADDRESS:]PORT, as in 2217 or 0.0.0.0:2217."},
        {{"--log-timestamps", "ms"}, "--log-timestamps expects abs, start, delta or off"},
        {{"--log-timestamps", "abs"}, "--log-timestamps is only used with --log"},
        {{"--timestamps=off"}, "--timestamps expects abs, start or delta"},
        {{"--terminal", "--monitor"},
         "--terminal and --monitor cannot be used together: both write to stdout"},
        {{"--demo", "--terminal"},
         "--terminal and --demo cannot be used together: the demo monitors on stdout"},
        {{"--log", "x.log", "--log-format", "Hex"}, "--log-format expects complex, hex or plain"},
        {{"--log-format", "hex"}, "--log-format is only used with --log"},
        {{"--record="}, "--record needs a file name"},
        {{"--play", "a.rec", "--record", "b.rec"},
         "--record and --play cannot be used together: recording and playback exclude each "
         "other"},
        {{"--play", "a.rec", "--play-speed", "0.001"},
         "--play-speed expects a factor from 0.01 to 1000"},
        {{"--play", "a.rec", "--play-speed=1001"},
         "--play-speed expects a factor from 0.01 to 1000"},
        {{"--play", "a.rec", "--play-speed=nan"},
         "--play-speed expects a factor from 0.01 to 1000"},
        {{"--play", "a.rec", "--play-loop", "-1"},
         "--play-loop expects a whole number from 0 to 1000000"},
        {{"--play-speed", "2"}, "--play-speed and --play-loop need --play"},
        {{"--play-loop", "0"}, "--play-speed and --play-loop need --play"},
        {{"--send="}, "--send needs a file name"},
        {{"--download="}, "--download needs a file name"},
        {{"--send-delay", "10"}, "--send-delay expects MS:BYTES, two whole numbers"},
        {{"--send-delay", "10:-1"}, "--send-delay expects MS:BYTES, two whole numbers"},
        {{"--send-delay", "10:2000"},
         "--send-delay expects MS from 1 to 5000 and BYTES from 1 to 1023: Max. number of Bytes "
         "for Delay Raw File Upload = 1023!"},
        {{"--send-delay", "0:0"},
         "--send-delay expects MS from 1 to 5000 and BYTES from 1 to 1023: Min. number of Bytes "
         "for Delay Raw File Upload = 1!"},
        {{"--send-delay", "6000:1"},
         "--send-delay expects MS from 1 to 5000 and BYTES from 1 to 1023: Max. Delay Raw File "
         "Upload = 5000 ms!"},
        {{"--send-line-delay", "5001"}, "--send-line-delay expects a whole number from 0 to 5000"},
        {{"--send-wait-for", "ab"}, "--send-wait-for expects one character or 0xNN"},
        {{"--send-wait-for", "0xZZ"}, "--send-wait-for expects one character or 0xNN"},
    };
    for (const auto& [args, error] : cases) {
        EXPECT_EQ(parseHeadlessOptions(args).error, error) << args.front();
    }
    // Reading a pipe would never end either.
    TempFolder dir;
    const std::string fifo = dir.file("lab.dat");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(parseHeadlessOptions({"--params", fifo}).error,
              "--params expects a regular file ('" + fifo + "' is not one)");
    EXPECT_EQ(parseHeadlessOptions({"--headless", "--help"}).error, "");
    const ParsedOptions terminal = parseHeadlessOptions({"--terminal", "--control-keys"});
    EXPECT_TRUE(terminal.options.headless && terminal.options.terminal &&
                terminal.options.controlKeys);
}

TEST(HeadlessOptions, PlaybackOptionsAreTakenWithPlay) {
    const ParsedOptions parsed = parseHeadlessOptions(
        {"--headless", "--play", "dev.rec", "--play-speed=0.5", "--play-loop", "0"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.playFile, "dev.rec");
    EXPECT_DOUBLE_EQ(parsed.options.playSpeed, 0.5);
    EXPECT_EQ(parsed.options.playLoop, 0u);
    const HeadlessOptions plain = parseHeadlessOptions({"--record", "x.rec"}).options;
    EXPECT_EQ(plain.recordFile, "x.rec");
    EXPECT_DOUBLE_EQ(plain.playSpeed, 1.0);
    EXPECT_EQ(plain.playLoop, 1u);
}

TEST(HeadlessOptions, StartChoosesTheSidesThatNeedADevice) {
    const struct {
        const char* start;
        bool a, b;
    } cases[] = {
        {"a", true, false}, {"b", false, true}, {"ab", true, true}, {"none", false, false}};
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--headless", "--start", c.start};
        if (c.a) {
            args.insert(args.end(), {"--device-a", "x"});
        }
        if (c.b) {
            args.insert(args.end(), {"--device-b", "y"});
        }
        const ParsedOptions parsed = parseHeadlessOptions(args);
        ASSERT_EQ(parsed.error, "") << c.start;
        EXPECT_EQ(parsed.options.startA, c.a) << c.start;
        EXPECT_EQ(parsed.options.startB, c.b) << c.start;
    }
    const ParsedOptions demo = parseHeadlessOptions({"--demo", "--virtual-dir", "/tmp/x"});
    ASSERT_EQ(demo.error, "");
    EXPECT_TRUE(demo.options.headless);
    EXPECT_TRUE(demo.options.monitor) << "the demo shows the traffic";
    EXPECT_EQ(demo.options.virtualDirectory, "/tmp/x");
}

TEST(HeadlessOptions, LogTimestampsSetTheLogsColumnNotTheMonitors) {
    EXPECT_EQ(parseHeadlessOptions({"--log", "x.log"}).options.logTimes, TimeColumn::Off);
    const HeadlessOptions o =
        parseHeadlessOptions({"--log=x.log", "--log-timestamps=delta"}).options;
    EXPECT_EQ(o.logTimes, TimeColumn::SincePrevious);
    EXPECT_EQ(o.monitorTimes.column, TimeColumn::Off);
}

TEST(HeadlessOptions, UsageListsEveryOption) {
    const std::string usage = headlessUsage();
    for (const char* name :
         {"--headless",  "--device-a",  "--device-b",  "--baud",      "--parity",
          "--data-bits", "--stop-bits", "--duration",  "--start",     "--virtual-dir",
          "--demo",      "--log",       "--help",      "--version",   "--params",
          "--save",      "--reopen",    "--rfc2217-a", "--rfc2217-b", "--log-timestamps"}) {
        EXPECT_NE(usage.find(name), std::string::npos) << name;
    }
    for (const char* name : {"--send FILE", "--send-delay MS:BYTES", "--send-line-delay MS",
                             "--send-wait-for CHAR", "--download FILE"}) {
        EXPECT_NE(usage.find(name), std::string::npos) << name;
    }
}

TEST(HeadlessOptions, FileTransferOptions) {
    const ParsedOptions parsed =
        parseHeadlessOptions({"--send", "up.bin", "--send-delay=10:512", "--send-line-delay", "50",
                              "--send-wait-for", "0x3E", "--download", "down.txt"});
    ASSERT_EQ(parsed.error, "");
    const HeadlessOptions& o = parsed.options;
    EXPECT_TRUE(o.headless && o.terminalSide() && !o.terminal);
    EXPECT_EQ(o.sendFile, "up.bin");
    EXPECT_EQ(o.sendDelayMs, 10);
    EXPECT_EQ(o.sendDelayBytes, 512);
    EXPECT_EQ(o.sendLineDelayMs, 50);
    EXPECT_EQ(o.sendWaitFor, ">");
    EXPECT_EQ(o.downloadFile, "down.txt");
    EXPECT_EQ(parseHeadlessOptions({"--send-wait-for", ">"}).options.sendWaitFor, ">");
}

}  // namespace
