#include "terminal/TerminalSettings.h"

#include <algorithm>

#include "base/FileNeu.h"

namespace pv {

// Every writer goes on after a failed line so that the file keeps its line count; every loader
// keeps the values it read before the first line it cannot read.

bool TerminalSettings::SaveTerminalMain(CFileNeu& file) const {
    bool ok = file.WriteFlag(termEcho);
    ok = file.WriteFlag(hexInput) && ok;
    ok = file.WriteInt(enterMode) && ok;
    for (const std::string& path : filePaths) {
        ok = file.WriteLine(path) && ok;
    }
    return ok;
}

bool TerminalSettings::LoadTerminalMain(CFileNeu& file) {
    int32_t mode = 0;
    if (!file.ReadFlag(termEcho) || !file.ReadFlag(hexInput) ||
        !file.ReadIntChecked(mode, 0, kMaxEnterMode, 0, "Enter", false)) {
        return false;
    }
    enterMode = mode;
    return std::all_of(filePaths.begin(), filePaths.end(),
                       [&file](std::string& path) { return file.ReadTextLine(path); });
}

bool TerminalSettings::SaveTerminalKeys(CFileNeu& file) {
    bool ok = true;
    for (std::string& text : fkeyTexts) {
        text = withoutLineEnds(text);
        ok = file.WriteLine(text) && ok;
    }
    return file.WriteFlag(fkeyHex) && ok;
}

bool TerminalSettings::LoadTerminalKeys(CFileNeu& file) {
    return std::all_of(fkeyTexts.begin(), fkeyTexts.end(),
                       [&file](std::string& text) { return file.ReadTextLine(text); }) &&
           file.ReadFlag(fkeyHex);
}

bool TerminalSettings::SaveTerminalEnter(CFileNeu& file) const {
    bool ok = true;
    for (bool enter : fkeyEnter) {
        ok = file.WriteFlag(enter) && ok;
    }
    return ok;
}

bool TerminalSettings::LoadTerminalEnter(CFileNeu& file) {
    return std::all_of(fkeyEnter.begin(), fkeyEnter.end(),
                       [&file](bool& enter) { return file.ReadFlag(enter); });
}

bool TerminalSettings::SaveTerminalDelay(CFileNeu& file) const {
    bool ok = file.WriteFlag(delayOn);
    ok = file.WriteLine(delayMsText) && ok;
    return file.WriteLine(delayBytesText) && ok;
}

bool TerminalSettings::LoadTerminalDelay(CFileNeu& file) {
    return file.ReadFlag(delayOn) && file.ReadTextLine(delayMsText) &&
           file.ReadTextLine(delayBytesText);
}

}  // namespace pv
