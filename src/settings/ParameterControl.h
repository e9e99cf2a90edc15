#pragma once

#include <string>

#include "base/CommandTable.h"
#include "base/Prompt.h"
#include "settings/ParameterFile.h"

namespace pv {

// What reading and writing the parameter file needs from the rest of the program.
class ParametersHost {
  public:
    virtual ~ParametersHost() = default;
    virtual Prompt& prompt() = 0;
    // The settings records were read (or tried): whatever shows or uses them takes them over.
    virtual void parametersApplied() = 0;
    // Before a save: what the window's controls show goes into the records.
    virtual void takeOverControls() = 0;
    virtual bool sidesRunning() const = 0;
    // "Open..." read a file: the sides stop and show the settings it holds.
    virtual void parametersOpened() = 0;
    // Who saves, for the file's header.
    virtual std::string ownerName() const = 0;
};

// The parameter file as the program uses it: read at start, written at exit, and the File
// menu's "Open..." (40003), "Save" (40004) and "Save as..." (40005).
class ParameterControl {
  public:
    ParameterControl(ParametersHost& host, const ParameterTargets& targets);

    void registerCommands(CommandTable& commands);
    ParameterFile& parameterFile() { return file_; }
    // Reads the current parameter file and applies what it holds, whatever the result.
    bool LoadParameters();
    // Takes over the controls' values and writes the current parameter file, without a message.
    bool SaveParameters();
    enum class ExitSave { Saved, Kept, Failed };
    // The save at exit: a file the last Load refused (another program's, another version's) is
    // not replaced by the defaults; a notice says so instead.
    ExitSave SaveParametersAtExit();
    void OnFileOpen();
    void OnFileSave();
    void OnFileSaveAs();

  private:
    ParametersHost& host_;
    ParameterFile file_;
};

}  // namespace pv
