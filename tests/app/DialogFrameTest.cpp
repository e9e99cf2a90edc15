#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <algorithm>

#include "app/ConfigureDialog.h"
#include "app/HelpWindow.h"
#include "app/IdentifierDialog.h"
#include "app/PortaVigilantDlg.h"
#include "app/PriorityDialog.h"
#include "base/CommandIds.h"
#include "datapath/DefineCharValueDialog.h"
#include "manipulation/ExchangeDefineDialog.h"
#include "manipulation/TriggerDefineDialog.h"
#include "ports/ConnectionEthernetDialog.h"
#include "recording/LoggingConfigureDialog.h"
#include "support/ModalDialogs.h"
#include "support/ScriptedPrompt.h"

using namespace pv;

namespace {

// The order of Help (H), Cancel (C) and OK (O) from left to right.
std::string buttonOrder(DialogFrame& dialog) {
    std::vector<std::pair<int, char>> buttons = {{dialog.helpButton()->x(), 'H'},
                                                 {dialog.cancelButton()->x(), 'C'},
                                                 {dialog.okButton()->x(), 'O'}};
    std::sort(buttons.begin(), buttons.end());
    std::string order;
    for (const auto& button : buttons) {
        order += button.second;
    }
    return order;
}

// Every settings dialog opens with the focus in its first field, where typing and the space bar
// go; Enter closes none; Help and F1 ask for its topic; the buttons sit in one row in the same
// platform order everywhere.
TEST(DialogFrame, EveryDialogOpensInItsFirstFieldWithOneButtonRow) {
    ScriptedPrompt prompt;
    CPriorityDialog priority;
    priority.readPriority = [] { return PriorityClass::High; };
    priority.applyPriority = [](PriorityClass) { return true; };
    CIdentifierDialog identifier;
    CConfigureDialog configure;
    CConnectionEthernetDialog network(prompt);
    NetworkSettings client;
    client.isServer = false;
    network.setSettings(client);
    CTriggerDefineDialog triggerOff(prompt);
    CTriggerDefineDialog triggerHex(prompt);
    TriggerSettings hex;
    hex.active = true;
    hex.asciiInput = false;
    triggerHex.setSettings(hex);
    ExchangeSettings exchange;
    CExchangeDefineDialog exchangeDialog(exchange);
    CLoggingConfigureDialog logging(prompt);
    SymbolTables tables;
    CDefineCharValueDialog symbols(tables, prompt);

    const struct {
        DialogFrame* dialog;
        int context;
        QWidget* first;
    } cases[] = {
        {&priority, 110, priority.radio(PriorityClass::High)},
        {&identifier, 110, identifier.edit()},
        {&configure, 110, configure.updateBox()},
        {&network, 106, network.findChild<QRadioButton*>("clientRadio")},
        {&triggerOff, 107, triggerOff.activeBox()},  // everything else is off until it is ticked
        {&triggerHex, 107, triggerHex.hexRadio()},
        {&exchangeDialog, 103, exchangeDialog.controls(1).activate},
        {&logging, 105, logging.enabledBox()},
        {&symbols, 109, symbols.fieldEdit(0)},
    };
    std::string firstOrder;
    for (const auto& c : cases) {
        DialogFrame& dialog = *c.dialog;
        SCOPED_TRACE(dialog.windowTitle().toStdString());
        ASSERT_NE(c.first, nullptr);
        QSignalSpy help(&dialog, &DialogFrame::helpRequested);
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        EXPECT_EQ(dialog.focusWidget(), c.first);
        EXPECT_EQ(QApplication::focusWidget(), c.first);

        QDialogButtonBox* row = dialog.buttonRow();
        EXPECT_EQ(row->buttonRole(dialog.helpButton()), QDialogButtonBox::HelpRole);
        EXPECT_EQ(row->buttonRole(dialog.cancelButton()), QDialogButtonBox::RejectRole);
        EXPECT_EQ(row->buttonRole(dialog.okButton()), QDialogButtonBox::AcceptRole);
        EXPECT_EQ(dialog.helpButton()->text(), "Help");
        EXPECT_EQ(dialog.cancelButton()->text(), "Cancel");
        EXPECT_EQ(dialog.okButton()->text(), "OK");
        const std::string order = buttonOrder(dialog);
        if (firstOrder.empty()) {
            firstOrder = order;
        }
        EXPECT_EQ(order, firstOrder);

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), 0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        dialog.helpButton()->click();
        ASSERT_EQ(help.count(), 2);
        EXPECT_EQ(help[0][0].toInt(), c.context);
        EXPECT_EQ(help[1][0].toInt(), c.context);
        dialog.reject();
    }
    EXPECT_EQ(identifier.edit()->text(), " ") << "typed text goes into the field";
}

// Help in each dialog the main window opens shows that dialog's topic.
TEST(DialogFrame, HelpOfEveryDialogOfTheMainWindowShowsItsTopic) {
    CPortaVigilantDlg window;
    const std::pair<int, int> commands[] = {
        {Command::Priority, 110},         {Command::Identifier, 110},
        {Command::Configure, 110},        {Command::NetworkSettings, 106},
        {Command::TriggerDefine, 107},    {Command::ExchangeDefine, 103},
        {Command::LoggingConfigure, 105}, {Command::AsciiSymbols64, 109},
    };
    for (const auto& [command, context] : commands) {
        SCOPED_TRACE(command);
        window.help().showTopic(HelpWindow::kMainWindowContext);
        bool shown = false;
        whenDialogShows<DialogFrame>([&](DialogFrame& dialog) {
            shown = true;
            dialog.helpButton()->click();
            dialog.reject();
        });
        ASSERT_TRUE(window.monitor().commands().dispatch(command));
        EXPECT_TRUE(shown);
        EXPECT_EQ(window.help().browser()->source().toString(),
                  HelpWindow::topicUrl(context).toString());
    }
}

}  // namespace
