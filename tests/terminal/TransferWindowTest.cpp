#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

// The window over a transfer whose blocks are only noted: the group's controls as the user
// meets them.
class TransferWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        terminal.setRunning(true);
        dialog.OpenTerminal();
    }
    QLineEdit* field(int id) { return qobject_cast<QLineEdit*>(dialog.control(id)); }
    QPushButton* button(int id) { return qobject_cast<QPushButton*>(dialog.control(id)); }

    TempFolder dir;
    TerminalSettings settings;
    ScriptedPrompt prompt;
    TerminalControl terminal{settings, prompt, [] { return true; }};
    std::vector<std::string> blocks;
    FileTransfer transfer{terminal,
                          prompt,
                          {[] { return std::string(); },
                           [this](const uint8_t* data, int count) {
                               blocks.emplace_back(reinterpret_cast<const char*>(data),
                                                   static_cast<size_t>(count));
                           },
                           [] { return size_t{0}; },
                           {}}};
    CTerminalDialog dialog{terminal, CTerminalDialog::kLargeTemplate, &transfer};
};

// Typing alone corrects nothing; leaving a field (or Enter, or Upload) does, in the fixed
// order, each correction with its message.
TEST_F(TransferWindow, DelayFieldsAreCorrectedWhenLeftNotWhileTyped) {
    qobject_cast<QAbstractButton*>(dialog.control(1140))->click();
    ASSERT_TRUE(settings.delayOn);
    ASSERT_TRUE(field(kDelayMsId)->isEnabled());
    field(kDelayBytesId)->setText("2000");
    field(kDelayMsId)->setText("");
    EXPECT_TRUE(prompt.messages.empty());
    emit field(kDelayBytesId)->editingFinished();
    EXPECT_EQ(prompt.messages,
              (std::vector<std::string>{"Max. number of Bytes for Delay Raw File Upload = 1023!",
                                        "Min. Delay Raw File Upload = 1 ms!"}));
    EXPECT_EQ(field(kDelayBytesId)->text(), "1023");
    EXPECT_EQ(field(kDelayMsId)->text(), "1");
    EXPECT_EQ(settings.delayBytesText, "1023");
    EXPECT_EQ(settings.delayMsText, "1");

    prompt.messages.clear();
    field(kDelayMsId)->setText("9000");
    writeWholeFile(dir.file("a.txt"), "abc");
    field(kFirstFileId)->setText(QString::fromStdString(dir.file("a.txt")));
    button(kFirstUploadId)->click();
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"Max. Delay Raw File Upload = 5000 ms!"});
    EXPECT_EQ(transfer.pacing().pauseMs, 5000) << "the upload runs with the corrected value";
    transfer.abortUpload();
}

TEST_F(TransferWindow, UploadShowsTheAbortDialogUntilClosed) {
    writeWholeFile(dir.file("b.txt"), std::string(300, 'b'));
    prompt.setNextFileName(dir.file("b.txt"));
    button(kFirstSearchId + 1)->click();
    EXPECT_EQ(field(kFirstFileId + 1)->text().toStdString(), dir.file("b.txt"));
    EXPECT_EQ(prompt.fileRequests.back().filter, "All files (*.*)|*.*||");
    EXPECT_FALSE(prompt.fileRequests.back().save);

    button(kFirstUploadId + 1)->click();
    CAbortDialog* abort = dialog.abortDialog();
    ASSERT_NE(abort, nullptr);
    EXPECT_TRUE(abort->isVisible());
    EXPECT_EQ(abort->windowTitle(), "Abort");
    ASSERT_TRUE(waitUntil([&] { return abort->finished(); }));
    EXPECT_EQ(abort->windowTitle(), "Upload finished !");
    EXPECT_EQ(abort->button()->text(), "Close");
    EXPECT_EQ(abort->progress()->text(), "sent 300 of 300 bytes");
    EXPECT_EQ(blocks, (std::vector<std::string>{std::string(128, 'b'), std::string(128, 'b'),
                                                std::string(44, 'b')}));
    abort->button()->click();
    EXPECT_FALSE(abort->isVisible());

    // Aborted midway the dialog reads the same, and nothing more is sent.
    blocks.clear();
    settings.delayOn = true;
    dialog.OpenTerminal();
    field(kDelayMsId)->setText("20");
    button(kFirstUploadId + 1)->click();
    abort = dialog.abortDialog();
    ASSERT_NE(abort, nullptr);
    EXPECT_EQ(abort->button()->text(), "Abort now !");
    ASSERT_TRUE(waitUntil([&] { return !blocks.empty(); }));
    abort->button()->click();
    EXPECT_EQ(transfer.state(), FileTransfer::State::Aborted);
    EXPECT_EQ(abort->windowTitle(), "Upload finished !");
    EXPECT_EQ(abort->button()->text(), "Close");
    EXPECT_EQ(blocks.size(), 1u);
    abort->button()->click();

    // Refusals are said, and no dialog opens.
    field(kFirstFileId + 2)->setText(QString::fromStdString(dir.file("none.txt")));
    button(kFirstUploadId + 2)->click();
    EXPECT_EQ(prompt.messages.back(), "File not found !!!");
    EXPECT_TRUE(dialog.abortDialog() == nullptr || !dialog.abortDialog()->isVisible());
}

TEST_F(TransferWindow, TheDownloadButtonStartsAndEndsTheDownload) {
    QPushButton* download = button(kDownloadId);
    prompt.setNextFileName(std::nullopt);
    download->click();
    EXPECT_FALSE(transfer.downloading()) << "cancelled";
    prompt.setNextFileName(dir.file("down.txt"));
    download->click();
    EXPECT_TRUE(prompt.fileRequests.back().save);
    ASSERT_TRUE(transfer.downloading());
    EXPECT_EQ(download->text(), "E\nn\nd\nD\nw\nn\nl\nd");
    terminal.channel().send(reinterpret_cast<const uint8_t*>("xyz"), 3);
    download->click();
    EXPECT_FALSE(transfer.downloading());
    EXPECT_EQ(download->text(), "D\no\nw\nn\nl\no\na\nd");
    EXPECT_EQ(readWholeFile(dir.file("down.txt")), "xyz");
}

}  // namespace
