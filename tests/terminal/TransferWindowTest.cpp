#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <string>
#include <vector>

#include "support/ScriptedPrompt.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"
#include "terminal/AbortDialog.h"
#include "terminal/FileTransfer.h"
#include "terminal/TerminalControl.h"
#include "terminal/TerminalDialog.h"
#include "terminal/TerminalSettings.h"

using namespace pv;

namespace {

constexpr int kFirstFileId = 1156;
constexpr int kFirstSearchId = 1123;
constexpr int kFirstUploadId = 1128;
constexpr int kDownloadId = 1122;
constexpr int kDelayMsId = 1162;
constexpr int kDelayBytesId = 1163;

// One window over a transfer whose blocks are only noted, through the group as the user meets
// it: delay fields corrected when left, not while typed; uploads that finish, are aborted or
// are cut off by side A; a refusal; a download.
TEST(TransferWindow, TheGroupCorrectsUploadsAndDownloads) {
    TempFolder dir;
    TerminalSettings settings;
    ScriptedPrompt prompt;
    TerminalControl terminal{settings, prompt, [] { return true; }};
    std::vector<std::string> blocks;
    std::string sideA;  // why side A takes no file; empty when it does
    FileTransfer transfer{terminal,
                          prompt,
                          {[&sideA] { return sideA; },
                           [&blocks](const uint8_t* data, int count) {
                               blocks.emplace_back(reinterpret_cast<const char*>(data),
                                                   static_cast<size_t>(count));
                           },
                           [] { return size_t{0}; },
                           {}}};
    CTerminalDialog dialog{terminal, CTerminalDialog::kLargeTemplate, &transfer};
    const auto field = [&](int id) { return qobject_cast<QLineEdit*>(dialog.control(id)); };
    const auto button = [&](int id) { return qobject_cast<QPushButton*>(dialog.control(id)); };
    terminal.setRunning(true);
    dialog.OpenTerminal();

    qobject_cast<QAbstractButton*>(dialog.control(1140))->click();
    ASSERT_TRUE(settings.delayOn);
    field(kDelayBytesId)->setText("2000");
    EXPECT_TRUE(prompt.messages.empty());
    emit field(kDelayBytesId)->editingFinished();
    EXPECT_EQ(field(kDelayBytesId)->text(), "1023");
    field(kDelayMsId)->setText("9000");
    writeWholeFile(dir.file("a.txt"), "abc");
    field(kFirstFileId)->setText(QString::fromStdString(dir.file("a.txt")));
    button(kFirstUploadId)->click();
    EXPECT_EQ(prompt.messages,
              (std::vector<std::string>{"Max. number of Bytes for Delay Raw File Upload = 1023!",
                                        "Max. Delay Raw File Upload = 5000 ms!"}));
    EXPECT_EQ(transfer.pacing().pauseMs, 5000) << "the upload runs with the corrected values";
    EXPECT_EQ(transfer.pacing().blockBytes, 1023);
    dialog.abortDialog()->button()->click();
    dialog.abortDialog()->button()->click();

    writeWholeFile(dir.file("b.txt"), std::string(300, 'b'));
    prompt.setNextFileName(dir.file("b.txt"));
    button(kFirstSearchId + 1)->click();
    EXPECT_FALSE(prompt.fileRequests.back().save);
    const struct {
        bool paced;
        std::function<void()> fault;
        std::string title;
    } cases[] = {
        {false, {}, "Upload finished !"},
        {true, [&] { dialog.abortDialog()->button()->click(); }, "Upload finished !"},
        {true, [&] { sideA = "Comport A is not started"; }, "Upload stopped !"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        blocks.clear();
        settings.delayOn = c.paced;
        dialog.OpenTerminal();
        field(kDelayMsId)->setText("20");
        field(kDelayBytesId)->setText("1");
        button(kFirstUploadId + 1)->click();
        CAbortDialog* abort = dialog.abortDialog();
        EXPECT_TRUE(abort->isVisible());
        if (c.fault) {
            ASSERT_TRUE(waitUntil([&] { return !blocks.empty(); }));
            c.fault();
        }
        ASSERT_TRUE(waitUntil([&] { return abort->finished(); }));
        EXPECT_EQ(abort->windowTitle().toStdString(), c.title);
        EXPECT_EQ(abort->button()->text(), "Close");
        EXPECT_EQ(abort->progress()->text().toStdString(), transfer.progressText());
        EXPECT_EQ(blocks.size(), c.fault ? 1u : 3u) << "nothing sent after the block in hand";
        abort->button()->click();
        EXPECT_FALSE(abort->isVisible());
        sideA.clear();
    }
    // A refusal is said, and no dialog opens.
    field(kFirstFileId + 2)->setText(QString::fromStdString(dir.file("none.txt")));
    button(kFirstUploadId + 2)->click();
    EXPECT_EQ(prompt.messages.back(), "File not found !!!");
    EXPECT_FALSE(dialog.abortDialog()->isVisible());

    QPushButton* download = button(kDownloadId);
    prompt.setNextFileName(std::nullopt);
    download->click();
    EXPECT_FALSE(transfer.downloading()) << "cancelled";
    prompt.setNextFileName(dir.file("down.txt"));
    download->click();
    EXPECT_TRUE(prompt.fileRequests.back().save);
    const QString caption = download->text();
    terminal.channel().send(reinterpret_cast<const uint8_t*>("xyz"), 3);
    download->click();
    EXPECT_FALSE(transfer.downloading());
    EXPECT_NE(download->text(), caption) << "the caption says what a click does";
    EXPECT_EQ(readWholeFile(dir.file("down.txt")), "xyz");
}

}  // namespace
