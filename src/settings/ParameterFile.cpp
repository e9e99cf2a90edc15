#include "settings/ParameterFile.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <ctime>

#include "base/TextFormat.h"
#include "datapath/DisplayFormatter.h"
#include "manipulation/ExchangeSettings.h"
#include "manipulation/Trigger.h"
#include "ports/BaudChoice.h"
#include "ports/NetworkSettings.h"
#include "ports/PortSettings.h"
#include "recording/LogSettings.h"
#include "terminal/TerminalSettings.h"
#include "terminal/TransferRules.h"

namespace pv {

namespace {

constexpr const char* kHeaderFormat = "Datafile PortaVigilant V%s";
constexpr const char* kCommentLines[] = {
    "PortaVigilant - serial line monitor",
    "Settings of both sides, eXchange, trigger, terminal, symbols, display and logging",
    "See the README.md of the PortaVigilant sources",
};
constexpr const char* kCreatedFormat = "created : %s by %s";
constexpr int kMaxHoldTimeoutMs = 60000;
constexpr const char* kTextNotAFile = "'%s' is not a regular file.";
constexpr const char* kTextForeignHeader = "'%s' is not a parameter file of version %s.";
constexpr const char* kTextDamaged = "'%s' cannot be read from line %d on.";

ParameterItem integer(const char* name, int& value, int32_t min, int32_t max, int32_t replacement,
                      int32_t defaultValue) {
    ParameterItem item;
    item.kind = ParameterItem::Kind::Integer;
    item.name = name;
    item.min = min;
    item.max = max;
    item.replacement = replacement;
    item.defaultInt = defaultValue;
    item.getInt = [&value] { return value; };
    item.setInt = [&value](int32_t v) { value = v; };
    return item;
}

// An integer kept as an enumeration.
template <typename Enum>
ParameterItem enumerated(const char* name, Enum& value, int32_t max, int32_t replacement,
                         int32_t defaultValue) {
    ParameterItem item;
    item.kind = ParameterItem::Kind::Integer;
    item.name = name;
    item.min = 0;
    item.max = max;
    item.replacement = replacement;
    item.defaultInt = defaultValue;
    item.getInt = [&value] { return static_cast<int32_t>(value); };
    item.setInt = [&value](int32_t v) { value = static_cast<Enum>(v); };
    return item;
}

ParameterItem flag(const char* name, bool& value, bool defaultValue) {
    ParameterItem item;
    item.kind = ParameterItem::Kind::Flag;
    item.name = name;
    item.flag = &value;
    item.defaultFlag = defaultValue;
    return item;
}

ParameterItem text(const char* name, std::string& value, std::string defaultValue = {}) {
    ParameterItem item;
    item.kind = ParameterItem::Kind::Text;
    item.name = name;
    item.text = &value;
    item.defaultText = std::move(defaultValue);
    return item;
}

ParameterItem block(const char* name, int lines, std::function<bool(CFileNeu&)> save,
                    std::function<bool(CFileNeu&)> load, std::function<void()> reset) {
    ParameterItem item;
    item.kind = ParameterItem::Kind::Block;
    item.name = name;
    item.lineCount = lines;
    item.save = std::move(save);
    item.load = std::move(load);
    item.reset = std::move(reset);
    return item;
}

// A value beyond the range of its classic line, which holds it too (other instances read their
// replacement there). Written again on a line of its own after the classic items, and taken over
// only when the classic line still holds the same value: a classic line changed since (by
// another instance or by hand) wins.
ParameterItem widened(const char* name, int& value, const int32_t& classicRaw, int32_t min,
                      int32_t max) {
    return block(
        name, 1, [&value](CFileNeu& file) { return file.WriteInt(value); },
        [&value, &classicRaw, min, max](CFileNeu& file) {
            int32_t read = 0;
            if (!file.ReadInt(read)) {
                return false;
            }
            if (read >= min && read <= max && read == classicRaw) {
                value = read;
            }
            return true;
        },
        [] {});
}

std::string localTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%d.%m.%Y %H:%M:%S", &local);
    return buffer;
}

}  // namespace

ParameterFile::ParameterFile(ParameterTargets targets, Prompt* prompt)
    : t_(targets), prompt_(prompt), path_(defaultPath()) {
    buildTable();
}

std::string ParameterFile::defaultPath() {
    char buffer[1024];
    if (::getcwd(buffer, sizeof buffer) == nullptr) {
        return kFileName;
    }
    return std::string(buffer) + "/" + kFileName;
}

void ParameterFile::add(ParameterItem item) {
    item.firstLine = nextLine_;
    nextLine_ += item.lineCount;
    items_.push_back(std::move(item));
}

void ParameterFile::buildTable() {
    for (int i = 0; i < 2; ++i) {
        PortSettings& port = i == 0 ? t_.portA : t_.portB;
        add(integer("port number", port.portNumber, 1, 256, 1, i + 1));
        add(integer("parity", port.parity, 0, 2, 0, 0));
        add(integer("data bits", port.dataBits, 0, 1, 1, 1));
        add(integer("stop bits", port.stopBits, 0, 1, 1, 0));
        ParameterItem baud = integer("baud rate", port.baud, 75, 115200, 9600, 9600);
        baud.raw = &rawBaud_[i];
        add(std::move(baud));
    }
    for (int k = 1; k <= 3; ++k) {
        add(block(
            "eXchange set", 9, [this, k](CFileNeu& f) { return t_.exchange.SaveSet(f, k); },
            [this, k](CFileNeu& f) { return t_.exchange.LoadSet(f, k); },
            [this, k] {
                t_.exchange.storeSet(k, ExchangeSet{});
                t_.exchange.RebuildPassCopies();
            }));
    }
    LogSettings& log = t_.log;
    add(flag("logging enabled", log.enabled, true));
    add(enumerated("log mode", log.mode, 2, 2, 2));
    add(enumerated("log content", log.content, 2, 0, 1));
    add(flag("enable paragraph", log.paragraph, true));
    add(flag("add to log", log.portNames, true));
    add(flag("timestamp", log.timestamp, true));
    add(flag("log ASCII symbols", log.asciiSymbols, true));
    add(flag("log hex symbols", log.hexSymbols, true));
    add(integer("log bytes per row", log.bytesPerRow, 1, 48, 16, 16));
    add(flag("paragraph after time-out", log.timeoutParagraph, false));
    add(integer("time-out", log.timeout, 1, 5000, 100, 100));
    add(flag("network server", t_.network.isServer, true));
    ParameterItem server = text("server address", t_.network.serverAddress, "localhost");
    server.kind = ParameterItem::Kind::RequiredText;
    add(std::move(server));
    ParameterItem tcpPort = integer("TCP port", t_.network.port, 4000, 9999, 4000, 5000);
    tcpPort.raw = &rawPort_;
    add(std::move(tcpPort));
    add(flag("A serial", t_.portA.serial, true));
    add(flag("A network", t_.portA.network, false));
    add(flag("B serial", t_.portB.serial, true));
    add(flag("B network", t_.portB.network, false));
    Trigger& trigger = t_.trigger;
    add(block(
        "trigger", 6, [&trigger](CFileNeu& f) { return trigger.SaveTrigger(f); },
        [&trigger](CFileNeu& f) { return trigger.LoadTrigger(f); },
        [&trigger] { trigger.ResetTrigger(); }));
    TerminalSettings& terminal = t_.terminal;
    add(block(
        "terminal", 8, [&terminal](CFileNeu& f) { return terminal.SaveTerminalMain(f); },
        [&terminal](CFileNeu& f) { return terminal.LoadTerminalMain(f); },
        [&terminal] { terminal = TerminalSettings{}; }));
    for (PortSettings* side : {&t_.portA, &t_.portB}) {
        add(flag("DTR", side->dtr, false));
        add(flag("RTS", side->rts, false));
        add(flag("Auto", side->autoHandshake, false));
    }
    DisplayFormatter& display = t_.display;
    add(block(
        "symbols", 512, [&display](CFileNeu& f) { return display.symbols().SaveSymbols(f); },
        [&display](CFileNeu& f) { return display.symbols().LoadSymbols(f); },
        [&display] { display.symbols() = SymbolTables{}; }));
    add(flag("use ASCII symbols", display.useAsciiSymbols, false));
    add(flag("use hex symbols", display.useHexSymbols, false));
    add(flag("local echo A", t_.localEchoA, false));
    add(flag("local echo B", t_.localEchoB, false));
    add(text("identifier", t_.identifier));
    add(flag("single line", log.singleLine, false));
    add(block(
        "function keys", 10, [&terminal](CFileNeu& f) { return terminal.SaveTerminalKeys(f); },
        [&terminal](CFileNeu& f) { return terminal.LoadTerminalKeys(f); }, [] {}));
    ParameterItem bytesPerRow;
    bytesPerRow.name = "bytes per row";
    bytesPerRow.min = DisplayFormatter::kMinBytesPerRow;
    bytesPerRow.max = DisplayFormatter::kMaxBytesPerRow;
    bytesPerRow.replacement = bytesPerRow.defaultInt = DisplayFormatter::kDefaultBytesPerRow;
    bytesPerRow.getInt = [&display] { return display.bytesPerRow(); };
    bytesPerRow.setInt = [&display](int32_t v) { display.setBytesPerRow(v); };
    add(std::move(bytesPerRow));
    add(flag("B virtual", t_.portB.isVirtual, false));
    add(flag("A virtual", t_.portA.isVirtual, false));
    add(block(
        "trigger output", 5, [&trigger](CFileNeu& f) { return trigger.SaveTriggerOutput(f); },
        [&trigger](CFileNeu& f) { return trigger.LoadTriggerOutput(f); }, [] {}));
    add(block(
        "function key Enter", 9, [&terminal](CFileNeu& f) { return terminal.SaveTerminalEnter(f); },
        [&terminal](CFileNeu& f) { return terminal.LoadTerminalEnter(f); }, [] {}));
    add(flag("use port number", log.usePortNumber, true));
    add(text("log name A", log.nameA));
    add(text("log name B", log.nameB));
    add(flag("log A", log.logA, true));
    add(flag("log B", log.logB, true));
    add(flag("check for update", t_.checkForUpdate, true));
    add(block(
        "terminal delay", 3, [&terminal](CFileNeu& f) { return terminal.SaveTerminalDelay(f); },
        [&terminal](CFileNeu& f) { return terminal.LoadTerminalDelay(f); }, [] {}));
    add(flag("milliseconds", log.milliseconds, false));
    // This program's own lines.
    add(text("device path A", t_.portA.devicePath));
    add(text("device path B", t_.portB.devicePath));
    add(widened("baud rate A", t_.portA.baud, rawBaud_[0], 1, kMaxTypedBaud));
    add(widened("baud rate B", t_.portB.baud, rawBaud_[1], 1, kMaxTypedBaud));
    add(widened("TCP port", t_.network.port, rawPort_, NetworkPort::kMinimum,
                NetworkPort::kMaximum));
    add(text("listen address", t_.network.listenAddress));
    add(integer("eXchange hold time", t_.exchange.holdTimeoutMs, 0, kMaxHoldTimeoutMs, 500, 500));
    TimeViewOptions& times = display.rowClock().options();
    add(enumerated("time column", times.column, 3, 0, 0));
    add(integer("new row after a pause (ms)", times.pauseRowMs, 0, RowClock::kMaxPauseRowMs, 0, 0));
    add(flag("reopen A", t_.portA.reopen, true));
    add(flag("reopen B", t_.portB.reopen, true));
    add(flag("terminal sends control keys", terminal.sendControlKeys, false));
    add(integer("upload pause after each line (ms)", terminal.linePauseMs, 0, kMaxLinePauseMs, 0,
                0));
    add(text("upload waits for", terminal.waitForText));
    add(integer("upload wait time-out (ms)", terminal.waitTimeoutMs, kMinWaitTimeoutMs,
                kMaxWaitTimeoutMs, kDefaultWaitTimeoutMs, kDefaultWaitTimeoutMs));
    add(text("RFC 2217 port A", t_.portA.rfc2217Listen));
    add(text("RFC 2217 port B", t_.portB.rfc2217Listen));
    ParameterItem history;
    history.name = "pane history (rows)";
    history.min = DisplayFormatter::kDefaultHistoryLines;
    history.max = DisplayFormatter::kMaxHistoryLines;
    history.replacement = history.defaultInt = DisplayFormatter::kDefaultHistoryLines;
    history.getInt = [&display] { return display.historyLines(); };
    history.setInt = [&display](int32_t v) { display.setHistoryLines(v); };
    add(std::move(history));
    add(enumerated("log time column", log.timeColumn, 3, 0, 0));
}

void ParameterFile::SetDefaults() {
    for (ParameterItem& item : items_) {
        switch (item.kind) {
            case ParameterItem::Kind::Integer:
                item.setInt(item.defaultInt);
                break;
            case ParameterItem::Kind::Flag:
                *item.flag = item.defaultFlag;
                break;
            case ParameterItem::Kind::Text:
            case ParameterItem::Kind::RequiredText:
                *item.text = item.defaultText;
                break;
            case ParameterItem::Kind::Block:
                item.reset();
                break;
        }
    }
}

bool ParameterFile::saveItem(CFileNeu& file, ParameterItem& item) {
    switch (item.kind) {
        case ParameterItem::Kind::Integer:
            return file.WriteInt(item.getInt());
        case ParameterItem::Kind::Flag:
            return file.WriteFlag(*item.flag);
        case ParameterItem::Kind::Text:
        case ParameterItem::Kind::RequiredText:
            // A line break inside a text would shift every later line.
            return file.WriteLine(withoutLineEnds(*item.text));
        case ParameterItem::Kind::Block:
            return item.save(file);
    }
    return false;
}

bool ParameterFile::loadItem(CFileNeu& file, ParameterItem& item) {
    switch (item.kind) {
        case ParameterItem::Kind::Integer: {
            int32_t value = 0;
            if (!file.ReadInt(value)) {
                return false;
            }
            if (item.raw != nullptr) {
                *item.raw = value;
            }
            // Out of range: the replacement, silently.
            item.setInt(value >= item.min && value <= item.max ? value : item.replacement);
            return true;
        }
        case ParameterItem::Kind::Flag:
            return file.ReadFlag(*item.flag);
        case ParameterItem::Kind::Text:
            return file.ReadTextLine(*item.text);
        case ParameterItem::Kind::RequiredText: {
            // Empty as it would be saved: a lone CR is no address either.
            std::string value;
            if (!file.ReadTextLine(value) || withoutLineEnds(value).empty()) {
                return false;
            }
            *item.text = std::move(value);
            return true;
        }
        case ParameterItem::Kind::Block:
            return item.load(file);
    }
    return false;
}

bool ParameterFile::writeHeader(CFileNeu& file) {
    bool ok = file.WriteLine(formatText(kHeaderFormat, kVersion));
    for (const char* comment : kCommentLines) {
        ok = file.WriteLine(comment) && ok;
    }
    return file.WriteLine(
               formatText(kCreatedFormat, localTimeText().c_str(), ownerName_.c_str())) &&
           ok;
}

bool ParameterFile::readHeader(CFileNeu& file) {
    const std::string expected = formatText(kHeaderFormat, kVersion) + CFileNeu::kLineEnd;
    // No more than the header can be: a file without line ends is not read to its end.
    if (::strcasecmp(file.ReadRawLine(false, expected.size()).c_str(), expected.c_str()) != 0) {
        return false;
    }
    for (int i = 1; i < kHeaderLines; ++i) {
        file.ReadRawLine(false);
    }
    return true;
}

bool ParameterFile::Save() {
    CFileNeu file(prompt_);
    if (!file.OpenReplacing(path_)) {
        return false;
    }
    if (!Save(file)) {
        file.Close();
        return false;
    }
    if (!file.CommitReplacing()) {
        return false;
    }
    refusedPaths_.erase(path_);
    return true;
}

bool ParameterFile::Save(CFileNeu& file) {
    const bool showMessages = file.showMessages();
    bool ok = writeHeader(file);
    for (ParameterItem& item : items_) {
        if (!ok) {
            // One message for a full disk, not one per line; the other lines are still tried.
            file.setShowMessages(false);
        }
        ok = saveItem(file, item) && ok;
    }
    file.setShowMessages(showMessages);
    return ok;
}

bool ParameterFile::Load() {
    lastLoad_ = loadPath();
    if (lastLoad_ == ParameterLoad::NotAFile || lastLoad_ == ParameterLoad::Unreadable ||
        lastLoad_ == ParameterLoad::ForeignHeader) {
        refusedPaths_.insert(path_);
    } else {
        refusedPaths_.erase(path_);
    }
    return lastLoad_ == ParameterLoad::Complete;
}

ParameterLoad ParameterFile::loadPath() {
    SetDefaults();
    lastLineRead_ = kHeaderLines + 1;
    CFileNeu file(prompt_);
    file.setShowMessages(false);
    if (!file.Exists(path_)) {
        // Not there is no news; a folder on the way that cannot be searched is.
        unreadableText_ = file.lastErrorText();
        return file.lastCause() == CFileNeu::none ? ParameterLoad::Missing
                                                  : ParameterLoad::Unreadable;
    }
    struct stat st {};
    // A device or FIFO could be read for ever (an endless first line, a writer that never
    // ends); only a regular file has an end.
    if (::stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return ParameterLoad::NotAFile;
    }
    if (!file.Open(path_, CFileNeu::modeRead)) {
        unreadableText_ = file.lastErrorText();
        return ParameterLoad::Unreadable;
    }
    if (!file.isRegularFile()) {
        return ParameterLoad::NotAFile;
    }
    Load(file);
    return lastLoad_;
}

bool ParameterFile::Load(CFileNeu& file) {
    SetDefaults();
    lastLineRead_ = kHeaderLines + 1;
    if (!readHeader(file)) {
        lastLoad_ = ParameterLoad::ForeignHeader;
        return false;
    }
    for (ParameterItem& item : items_) {
        if (!loadItem(file, item)) {
            lastLineRead_ = item.firstLine;
            // Files of other instances end with the classic items.
            const bool complete = item.firstLine > kClassicLines;
            lastLoad_ = complete ? ParameterLoad::Complete : ParameterLoad::Damaged;
            return complete;
        }
    }
    lastLineRead_ = nextLine_;
    lastLoad_ = ParameterLoad::Complete;
    return true;
}

std::string ParameterFile::loadProblemText() const {
    switch (lastLoad_) {
        case ParameterLoad::Complete:
        case ParameterLoad::Missing:
            return {};
        case ParameterLoad::NotAFile:
            return formatText(kTextNotAFile, path_.c_str());
        case ParameterLoad::Unreadable:
            return unreadableText_;
        case ParameterLoad::ForeignHeader:
            return formatText(kTextForeignHeader, path_.c_str(), kVersion);
        case ParameterLoad::Damaged:
            return formatText(kTextDamaged, path_.c_str(), lastLineRead_);
    }
    return {};
}

std::string ParameterFile::keptFileText() const {
    return formatText(kTextParameterFileKept, path_.c_str());
}

}  // namespace pv
