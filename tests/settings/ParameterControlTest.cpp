#include <gtest/gtest.h>

#include "app/LineMonitor.h"
#include "base/CommandIds.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/PtyPair.h"
#include "support/TempFolder.h"

using namespace pv;

namespace {

constexpr const char* kReadError =
    "Error while reading parameters !\nPlease check your adjustment !";

class ParameterControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.ok());
        view.onParametersOpened = [this] {
            sidesRunningWhenOpened =
                monitor.sides().side(Side::A).started || monitor.sides().side(Side::B).started;
        };
        monitor.sides().settings(Side::A).devicePath = farA.path();
        monitor.sides().settings(Side::B).devicePath = farB.path();
        monitor.parameters().parameterFile().setPath(folder.file("start.dat"));
    }
    // A parameter file written by a second engine with a few values changed.
    std::string otherFile(const std::string& name) {
        FakeView otherView;
        LineMonitor other(otherView, lines);
        other.sides().settings(Side::A).baud = 19200;
        other.sides().settings(Side::B).baud = 4800;
        other.display().useHexSymbols = true;
        other.sides().side(Side::B).localEcho = true;
        other.setIdentifier("Bench 7");
        other.parameters().parameterFile().setPath(folder.file(name));
        EXPECT_TRUE(other.parameters().SaveParameters());
        return folder.file(name);
    }
    bool dispatch(int id) { return monitor.commands().dispatch(id); }

    TempFolder folder;
    PtyPair farA;
    PtyPair farB;
    FakeTtyBackend lines;
    FakeView view;
    LineMonitor monitor{view, lines};
    bool sidesRunningWhenOpened = true;
};

TEST_F(ParameterControlTest, OpenWhileASideRunsAsksFirstAndNoLeavesEverything) {
    const std::string path = otherFile("other.dat");
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    view.prompt_.setNextAnswer(PromptAnswer::No);
    ASSERT_TRUE(dispatch(Command::FileOpen));
    ASSERT_EQ(view.prompt_.messages.size(), 1u);
    EXPECT_EQ(view.prompt_.messages[0],
              "This will close all serial ports and delete all output !\nDo you want to proceed ?");
    EXPECT_TRUE(view.prompt_.fileRequests.empty()) << "No ends the command before the dialog";
    EXPECT_TRUE(monitor.sides().side(Side::A).started);

    view.prompt_.setNextAnswer(PromptAnswer::Yes);
    view.prompt_.setNextFileName(path);
    ASSERT_TRUE(dispatch(Command::FileOpen));
    ASSERT_EQ(view.prompt_.fileRequests.size(), 1u);
    EXPECT_FALSE(view.prompt_.fileRequests[0].save);
    EXPECT_EQ(view.prompt_.fileRequests[0].initialPath, folder.file("start.dat"));
    EXPECT_EQ(view.prompt_.fileRequests[0].filter,
              "Data files (*.dat)|*.dat|All files (*.*)|*.*||");
    EXPECT_FALSE(monitor.sides().side(Side::A).started);
    EXPECT_EQ(view.opened, 1);
    EXPECT_FALSE(sidesRunningWhenOpened) << "the sides stop before the controls change";
    EXPECT_EQ(monitor.parameters().parameterFile().path(), path);
    EXPECT_EQ(monitor.sides().settings(Side::A).baud, 19200);
    EXPECT_EQ(view.baud[0].editText, "19200");
    EXPECT_EQ(view.baud[1].listIndex, 4) << "the list selects the entry \"4800\"";
    EXPECT_TRUE(view.checked(Command::UseHexSymbols));
    EXPECT_FALSE(view.checked(Command::UseAsciiSymbols));
    EXPECT_TRUE(view.checked(Command::LocalEchoB));
    EXPECT_EQ(monitor.identifier(), "Bench 7");
    EXPECT_EQ(view.prompt_.messages.size(), 2u)
        << "the question again, and a good file says nothing";
}

TEST_F(ParameterControlTest, ABrokenFileIsReportedAndTheOldPathStays) {
    const std::string path = otherFile("broken.dat");
    std::string text = readWholeFile(path);
    text.resize(text.find("\r\n4800\r\n"));  // ends inside side B's settings
    writeWholeFile(path, text);
    view.prompt_.setNextFileName(path);
    ASSERT_TRUE(dispatch(Command::FileOpen));
    ASSERT_EQ(view.prompt_.messages.size(), 1u);
    EXPECT_EQ(view.prompt_.messages[0], kReadError);
    EXPECT_EQ(monitor.parameters().parameterFile().path(), folder.file("start.dat"));
    EXPECT_EQ(monitor.sides().settings(Side::A).baud, 19200)
        << "what was read before the damage stays";
    EXPECT_EQ(view.opened, 0);
    EXPECT_EQ(view.loaded, 1) << "the loaded values are applied whatever the result";

    view.prompt_.setNextFileName(std::nullopt);
    ASSERT_TRUE(dispatch(Command::FileOpen));
    EXPECT_EQ(view.loaded, 1) << "Cancel reads nothing";
}

TEST_F(ParameterControlTest, SaveAndSaveAsReportTheirResult) {
    ASSERT_TRUE(dispatch(Command::FileSave));
    EXPECT_EQ(view.prompt_.messages.back(), "Parameters successfully saved !");
    EXPECT_EQ(readWholeFile(folder.file("start.dat")).rfind("Datafile PortaVigilant V6.01\r\n", 0),
              0u);

    view.prompt_.setNextFileName(folder.file("no/such/folder/x.dat"));
    ASSERT_TRUE(dispatch(Command::FileSaveAs));
    EXPECT_EQ(view.prompt_.messages.back(), "Unable to create file !");
    EXPECT_EQ(monitor.parameters().parameterFile().path(), folder.file("start.dat"));
    EXPECT_TRUE(view.prompt_.fileRequests.back().save);

    view.prompt_.setNextFileName(folder.file("copy.dat"));
    ASSERT_TRUE(dispatch(Command::FileSaveAs));
    EXPECT_EQ(view.prompt_.messages.back(), "Parameters successfully saved !");
    EXPECT_EQ(monitor.parameters().parameterFile().path(), folder.file("copy.dat"));

    // A path that was writable when chosen and is gone when saved.
    monitor.parameters().parameterFile().setPath(folder.file("gone/x.dat"));
    ASSERT_TRUE(dispatch(Command::FileSave));
    EXPECT_EQ(view.prompt_.messages.back(), "Error saving parameters !!!");
}

// The save at exit never replaces a file it did not read with the defaults; an explicit "Save"
// still writes it.
TEST_F(ParameterControlTest, TheSaveAtExitLeavesAFileItRefusedAlone) {
    using ExitSave = ParameterControl::ExitSave;
    const std::string versionOld = "Datafile PortaVigilant V6.00\r\n" + std::string(700, '1');
    struct Case {
        const char* name;
        std::string content;
        ExitSave result;
    };
    const Case cases[] = {
        {"another program's", "shopping list\r\n", ExitSave::Kept},
        {"another version's", versionOld, ExitSave::Kept},
        {"damaged", "Datafile PortaVigilant V6.01\r\na\r\nb\r\nc\r\nd\r\n7\r\n", ExitSave::Saved},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.file(std::string(c.name) + ".dat");
        writeWholeFile(path, c.content);
        monitor.parameters().parameterFile().setPath(path);
        monitor.parameters().LoadParameters();
        view.prompt_.notices.clear();
        EXPECT_EQ(monitor.parameters().SaveParametersAtExit(), c.result);
        if (c.result == ExitSave::Kept) {
            EXPECT_EQ(readWholeFile(path), c.content);
            ASSERT_EQ(view.prompt_.notices.size(), 1u);
            EXPECT_NE(view.prompt_.notices[0].find("'" + path + "'"), std::string::npos);
            ASSERT_TRUE(dispatch(Command::FileSave)) << "the user's own Save writes it";
            EXPECT_EQ(view.prompt_.messages.back(), "Parameters successfully saved !");
            EXPECT_EQ(monitor.parameters().SaveParametersAtExit(), ExitSave::Saved);
        } else {
            EXPECT_TRUE(view.prompt_.notices.empty());
        }
        EXPECT_EQ(readWholeFile(path).rfind("Datafile PortaVigilant V6.01\r\n", 0), 0u);
    }
}

}  // namespace
