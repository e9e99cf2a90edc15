#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>

#include "app/MainMenu.h"
#include "app/PortaVigilantDlg.h"
#include "base/CommandIds.h"
#include "base/DialogKit.h"
#include "datapath/DisplayPanes.h"
#include "support/TempFolder.h"

using namespace pv;

namespace {

// Line n of a parameter file (1-based), without its line end.
std::string lineOf(const std::string& text, int n) {
    size_t start = 0;
    for (int i = 1; i < n; ++i) {
        start = text.find("\r\n", start) + 2;
    }
    return text.substr(start, text.find("\r\n", start) - start);
}

TEST(MainWindowParameters, TheFileIsReadAtStartShownAndWrittenInCodePage1252OnClose) {
    TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::string path = folder.file("PortaVigilant.dat");
    {
        CPortaVigilantDlg first(nullptr, path);
        first.monitor().setIdentifier(toCp1252(QString::fromUtf8("Müller Ω")));
        first.monitor().display().setBytesPerRow(24);
        first.monitor().display().useAsciiSymbols = true;
        first.close();
    }
    const std::string text = readWholeFile(path);
    EXPECT_EQ(lineOf(text, 597), "M\xFCller ?") << "one byte per character; Omega has none";
    EXPECT_EQ(lineOf(text, 609), "24");

    CPortaVigilantDlg second(nullptr, path);
    EXPECT_EQ(second.windowTitle(), QString::fromUtf8("PortaVigilant - Müller ?"));
    EXPECT_EQ(second.panes().bytesPerRowEdit()->text(), "24");
    EXPECT_TRUE(second.menu().action(Command::UseAsciiSymbols)->isChecked());
    EXPECT_FALSE(second.menu().action(Command::UseHexSymbols)->isChecked());
}

TEST(MainWindowParameters, AWindowWithoutAParameterFileWritesNothing) {
    TempFolder folder;
    ASSERT_TRUE(folder.ok());
    {
        CPortaVigilantDlg window;
        window.monitor().parameters().parameterFile().setPath(folder.file("x.dat"));
        window.close();
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

}  // namespace
