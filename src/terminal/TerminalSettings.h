#pragma once

#include <array>
#include <string>

namespace pv {

class CFileNeu;

// The settings of the terminal window that stands in for side B. They live as long as the
// program and are kept in the parameter file in four records at four places of it.
struct TerminalSettings {
    static constexpr int kFileCount = 5;
    static constexpr int kKeyCount = 9;  // F2 to F10
    static constexpr int kMaxEnterMode = 2;

    bool termEcho = false;
    bool hexInput = false;
    int enterMode = 0;  // 0 CR-LF, 1 CR, 2 LF
    std::array<std::string, kFileCount> filePaths;
    std::array<std::string, kKeyCount> fkeyTexts;
    std::array<bool, kKeyCount> fkeyEnter{};
    bool fkeyHex = false;
    bool delayOn = false;
    std::string delayMsText = "10";
    std::string delayBytesText = "1";
    // Tab, Escape, Ctrl+letter and the cursor keys go to the device as their bytes; only this
    // program's own line of the parameter file keeps it.
    bool sendControlKeys = false;
    // Uploads by lines, kept in this program's own lines too: a pause after each line feed,
    // and a character (the device's prompt) to wait for after each line, up to a time-out.
    int linePauseMs = 0;
    std::string waitForText;
    int waitTimeoutMs = 2000;

    // Echo, hex input, the "Enter" choice and the five upload paths.
    bool SaveTerminalMain(CFileNeu& file) const;
    bool LoadTerminalMain(CFileNeu& file);
    // The function key texts, their line ends removed (here too, so memory and file agree),
    // and the keys' hex input flag.
    bool SaveTerminalKeys(CFileNeu& file);
    bool LoadTerminalKeys(CFileNeu& file);
    bool SaveTerminalEnter(CFileNeu& file) const;
    bool LoadTerminalEnter(CFileNeu& file);
    bool SaveTerminalDelay(CFileNeu& file) const;
    bool LoadTerminalDelay(CFileNeu& file);

    bool operator==(const TerminalSettings&) const = default;
};

}  // namespace pv
