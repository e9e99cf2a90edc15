#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "base/FileNeu.h"

namespace pv {

class DisplayFormatter;
class ExchangeSettings;
class Prompt;
class Trigger;
struct LogSettings;
struct NetworkSettings;
struct PortSettings;
struct SymbolTables;
struct TerminalSettings;

inline constexpr const char* kTextParameterReadError =
    "Error while reading parameters !\nPlease check your adjustment !";
inline constexpr const char* kTextParameterSaveError = "Error saving parameters !!!";
// Said instead of the save at exit when the file at the path was refused by Load.
inline constexpr const char* kTextParameterFileKept =
    "The settings were not saved: '%s' was not read as a parameter file, so it is left as it was.";

// What the last Load found at the path.
enum class ParameterLoad {
    Complete,       // every item read
    Missing,        // no file: the defaults
    NotAFile,       // a folder, device, FIFO or socket: never read
    Unreadable,     // a file that does not open for reading
    ForeignHeader,  // another program's file or another version's: nothing read
    Damaged,        // read up to an item that cannot be read
};

// Where the parameter file's items live: the settings records of the whole program.
struct ParameterTargets {
    PortSettings& portA;
    PortSettings& portB;
    ExchangeSettings& exchange;
    LogSettings& log;
    NetworkSettings& network;
    Trigger& trigger;
    TerminalSettings& terminal;
    DisplayFormatter& display;  // symbol tables, their two flags, bytes per row
    bool& localEchoA;
    bool& localEchoB;
    std::string& identifier;  // code page 1252
    bool& checkForUpdate;
};

// One item of the parameter file: a single line (integer, flag or text) bound to the value it
// reads and writes, or a block of lines written and read by the record's owner. Save and Load
// both walk one table of these, so they cannot drift apart.
struct ParameterItem {
    enum class Kind { Integer, Flag, Text, RequiredText, Block };

    Kind kind = Kind::Integer;
    int firstLine = 0;  // where the item starts in the file
    int lineCount = 1;
    const char* name = "";
    // Integer: the accepted range, the value stored instead of one outside it, the default.
    int32_t min = INT32_MIN;
    int32_t max = INT32_MAX;
    int32_t replacement = 0;
    int32_t defaultInt = 0;
    bool defaultFlag = false;
    std::string defaultText;
    std::function<int32_t()> getInt;
    std::function<void(int32_t)> setInt;
    // Where the value as read, before the range check, is kept (for the widened lines).
    int32_t* raw = nullptr;
    bool* flag = nullptr;
    std::string* text = nullptr;
    // Block: its record's writer, reader and defaults.
    std::function<bool(CFileNeu&)> save;
    std::function<bool(CFileNeu&)> load;
    std::function<void()> reset;
};

// All settings in one text file (CR LF line ends, code page 1252) that other instances read
// too: a header of five lines, 630 items in a fixed order up to line 635, and after them the
// lines only this program writes (device paths and values beyond the classic ranges). Files
// that end at line 635 load without error; older readers ignore what follows it.
class ParameterFile {
  public:
    static constexpr const char* kVersion = "6.01";
    static constexpr const char* kFileName = "PortaVigilant.dat";
    static constexpr int kHeaderLines = 5;
    static constexpr int kClassicLines = 635;

    ParameterFile(ParameterTargets targets, Prompt* prompt);

    const std::string& path() const { return path_; }
    void setPath(const std::string& path) { path_ = path; }
    // The default path: the file name in the current working directory.
    static std::string defaultPath();

    // Writes every item to the current path. False when the file cannot be created or a line
    // could not be written (only the first failure is reported); the file that was there is
    // then left as it was.
    bool Save();
    // Sets the defaults, then reads the current path. False when the file is missing, is no
    // regular file, its header is not this version's, or an item cannot be read: the items read
    // before it keep their values, the later ones their defaults.
    bool Load();
    // The same on a file the caller opened (a memory file, for one); it is left open.
    bool Save(CFileNeu& file);
    bool Load(CFileNeu& file);
    void SetDefaults();

    const std::vector<ParameterItem>& items() const { return items_; }
    // The line of the next item when the last Load stopped, or past the end when it read all.
    int lastLineRead() const { return lastLineRead_; }
    ParameterLoad lastLoad() const { return lastLoad_; }
    // Why the last Load did not read the whole file; empty when it did or there was none.
    std::string loadProblemText() const;
    // A file is at the current path that Load found but did not read (not a regular file, not
    // readable, another program's or version's): the save at exit must leave it alone and say
    // keptFileText() instead. Cleared for the path by a Load that reads it or a Save to it.
    bool refusedAtLoad() const { return refusedPaths_.contains(path_); }
    std::string keptFileText() const;
    // The name written into line 5.
    void setOwnerName(std::string name) { ownerName_ = std::move(name); }

  private:
    void buildTable();
    void add(ParameterItem item);
    bool saveItem(CFileNeu& file, ParameterItem& item);
    bool loadItem(CFileNeu& file, ParameterItem& item);
    bool writeHeader(CFileNeu& file);
    bool readHeader(CFileNeu& file);
    ParameterLoad loadPath();

    ParameterTargets t_;
    Prompt* prompt_;
    std::string path_;
    std::string ownerName_;
    std::vector<ParameterItem> items_;
    int nextLine_ = kHeaderLines + 1;
    // The classic lines' values as read, so a widened line only stands for the value it wrote.
    int32_t rawBaud_[2] = {};
    int32_t rawPort_ = 0;
    int lastLineRead_ = 0;
    ParameterLoad lastLoad_ = ParameterLoad::Missing;
    std::string unreadableText_;  // the file layer's text when the file did not open
    std::set<std::string> refusedPaths_;
};

}  // namespace pv
