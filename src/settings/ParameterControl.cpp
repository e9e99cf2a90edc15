#include "settings/ParameterControl.h"

#include "base/CommandIds.h"

namespace pv {

namespace {

constexpr const char* kTextOpenWhileRunning =
    "This will close all serial ports and delete all output !\nDo you want to proceed ?";
constexpr const char* kTextSaved = "Parameters successfully saved !";
constexpr const char* kTextCreateFailed = "Unable to create file !";
constexpr const char* kParameterFilter = "Data files (*.dat)|*.dat|All files (*.*)|*.*||";
constexpr const char* kParameterExtension = "*.dat";

}  // namespace

ParameterControl::ParameterControl(ParametersHost& host, const ParameterTargets& targets)
    : host_(host), file_(targets, &host.prompt()) {}

void ParameterControl::registerCommands(CommandTable& commands) {
    commands.add(Command::FileOpen, [this] { OnFileOpen(); });
    commands.add(Command::FileSave, [this] { OnFileSave(); });
    commands.add(Command::FileSaveAs, [this] { OnFileSaveAs(); });
}

bool ParameterControl::LoadParameters() {
    const bool ok = file_.Load();
    host_.parametersApplied();
    return ok;
}

bool ParameterControl::SaveParameters() {
    host_.takeOverControls();
    file_.setOwnerName(host_.ownerName());
    return file_.Save();
}

ParameterControl::ExitSave ParameterControl::SaveParametersAtExit() {
    if (file_.refusedAtLoad()) {
        host_.prompt().notice(file_.keptFileText());
        return ExitSave::Kept;
    }
    return SaveParameters() ? ExitSave::Saved : ExitSave::Failed;
}

void ParameterControl::OnFileOpen() {
    if (host_.sidesRunning() &&
        host_.prompt().message(kTextOpenWhileRunning, {}, PromptButtons::YesNoDefaultNo,
                               PromptIcon::Question) != PromptAnswer::Yes) {
        return;
    }
    FileDialogRequest request;
    request.filter = kParameterFilter;
    request.initialPath = file_.path();
    request.defaultExtension = kParameterExtension;
    const std::optional<std::string> chosen = host_.prompt().chooseFile(request);
    if (!chosen) {
        return;
    }
    const std::string previous = file_.path();
    file_.setPath(*chosen);
    if (!LoadParameters()) {
        file_.setPath(previous);
        host_.prompt().message(kTextParameterReadError, {}, PromptButtons::Ok, PromptIcon::Error);
        return;
    }
    host_.parametersOpened();
}

void ParameterControl::OnFileSave() {
    const bool saved = SaveParameters();
    host_.prompt().message(saved ? kTextSaved : kTextParameterSaveError, {}, PromptButtons::Ok,
                           saved ? PromptIcon::Information : PromptIcon::Error);
}

void ParameterControl::OnFileSaveAs() {
    FileDialogRequest request;
    request.save = true;
    request.filter = kParameterFilter;
    request.initialPath = file_.path();
    request.defaultExtension = kParameterExtension;
    const std::optional<std::string> chosen = host_.prompt().chooseFile(request);
    if (!chosen) {
        return;
    }
    CFileNeu probe;
    if (!probe.Open(*chosen, CFileNeu::modeCreate | CFileNeu::modeWrite)) {
        host_.prompt().message(kTextCreateFailed, {}, PromptButtons::Ok, PromptIcon::Error);
        return;
    }
    probe.Close();
    file_.setPath(*chosen);
    OnFileSave();
}

}  // namespace pv
