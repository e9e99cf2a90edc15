#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/ConsolePrompt.h"
#include "base/NoticeBoard.h"

using namespace pv;

namespace {

std::string printed(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        text += static_cast<char>(c);
    }
    return text;
}

TEST(Notices, RepeatsAreCountedNotRepeated) {
    pv::NoticeBoard board;
    EXPECT_TRUE(board.post("Socket closed by Client !"));
    EXPECT_TRUE(board.post("disk full"));
    EXPECT_FALSE(board.post("Socket closed by Client !"));
    EXPECT_FALSE(board.post("Socket closed by Client !"));
    ASSERT_EQ(board.entries().size(), 2u);
    EXPECT_EQ(pv::NoticeBoard::shown(board.entries()[0]), "Socket closed by Client ! (3 times)");
    EXPECT_EQ(pv::NoticeBoard::shown(board.entries()[1]), "disk full");

    std::FILE* out = std::tmpfile();
    {
        ConsolePrompt console(out);
        for (int i = 0; i < 5; ++i) {
            console.notice("Comport A: the device\nfailed");
        }
        console.notice("other");
        // Nobody can close the other program and press OK here: a retry question gives up.
        EXPECT_EQ(console.message("retry?", {}, PromptButtons::OkCancel, PromptIcon::Warning),
                  PromptAnswer::Cancel);
    }
    EXPECT_EQ(printed(out),
              "Comport A: the device failed\nother\nretry?\n"
              "Comport A: the device failed (4 more times)\n");
    std::fclose(out);
}

}  // namespace
