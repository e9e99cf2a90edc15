// The parameter file as the program uses it: read at start, written at exit, and the File
// menu's "Open...", "Save" and "Save as...". Run by the engine so that the window, the headless
// front end and the tests share it.
#include "base/CommandIds.h"
#include "base/Prompt.h"
#include "datapath/LineMonitor.h"

namespace pv {

namespace {

constexpr const char* kTextOpenWhileRunning =
    "This will close all serial ports and delete all output !\nDo you want to proceed ?";
constexpr const char* kTextSaved = "Parameters successfully saved !";
constexpr const char* kTextCreateFailed = "Unable to create file !";
constexpr const char* kParameterFilter = "Data files (*.dat)|*.dat|All files (*.*)|*.*||";
constexpr const char* kParameterExtension = "*.dat";

}  // namespace

void LineMonitor::initParameters() {
    commands_.add(Command::FileOpen, [this] { OnFileOpen(); });
    commands_.add(Command::FileSave, [this] { OnFileSave(); });
    commands_.add(Command::FileSaveAs, [this] { OnFileSaveAs(); });
}

bool LineMonitor::LoadParameters() {
    const bool ok = parameterFile_.Load();
    applyParameters();
    return ok;
}

void LineMonitor::applyParameters() {
    ApplyLogSettings(logSettings_);
    DefineTrigger(TriggerSettings(trigger_.settings()));
    view_.setMenuCheck(Command::UseAsciiSymbols, display_.useAsciiSymbols);
    view_.setMenuCheck(Command::UseHexSymbols, display_.useHexSymbols);
    view_.setMenuCheck(Command::LocalEchoA, sideA_.localEcho);
    view_.setMenuCheck(Command::LocalEchoB, sideB_.localEcho);
    view_.parametersLoaded();
}

bool LineMonitor::SaveParameters() {
    readSettings();
    parameterFile_.setOwnerName(logWriter_.ownerName());
    return parameterFile_.Save();
}

void LineMonitor::OnFileOpen() {
    if ((sideA_.started || sideB_.started) &&
        view_.prompt().message(kTextOpenWhileRunning, {}, PromptButtons::YesNoDefaultNo,
                               PromptIcon::Question) != PromptAnswer::Yes) {
        return;
    }
    FileDialogRequest request;
    request.filter = kParameterFilter;
    request.initialPath = parameterFile_.path();
    request.defaultExtension = kParameterExtension;
    const std::optional<std::string> chosen = view_.prompt().chooseFile(request);
    if (!chosen) {
        return;
    }
    const std::string previous = parameterFile_.path();
    parameterFile_.setPath(*chosen);
    if (!LoadParameters()) {
        parameterFile_.setPath(previous);
        view_.prompt().message(kTextParameterReadError, {}, PromptButtons::Ok, PromptIcon::Error);
        return;
    }
    StopSide(Side::A);
    StopSide(Side::B);
    view_.parametersOpened();
    // The baud lists select the loaded rates, or their first entry.
    WriteSettings(Side::A, settingsA_);
    WriteSettings(Side::B, settingsB_);
}

void LineMonitor::OnFileSave() {
    const bool saved = SaveParameters();
    view_.prompt().message(saved ? kTextSaved : kTextParameterSaveError, {}, PromptButtons::Ok,
                           saved ? PromptIcon::Information : PromptIcon::Error);
}

void LineMonitor::OnFileSaveAs() {
    FileDialogRequest request;
    request.save = true;
    request.filter = kParameterFilter;
    request.initialPath = parameterFile_.path();
    request.defaultExtension = kParameterExtension;
    const std::optional<std::string> chosen = view_.prompt().chooseFile(request);
    if (!chosen) {
        return;
    }
    CFileNeu probe;
    if (!probe.Open(*chosen, CFileNeu::modeCreate | CFileNeu::modeWrite)) {
        view_.prompt().message(kTextCreateFailed, {}, PromptButtons::Ok, PromptIcon::Error);
        return;
    }
    probe.Close();
    parameterFile_.setPath(*chosen);
    OnFileSave();
}

}  // namespace pv
