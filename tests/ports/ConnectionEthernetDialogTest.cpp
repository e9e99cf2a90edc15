#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "ports/ConnectionEthernetDialog.h"
#include "support/ScriptedPrompt.h"

using namespace pv;

namespace {

template <typename T>
T* child(CConnectionEthernetDialog& dialog, const char* name) {
    T* widget = dialog.findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

NetworkSettings clientSettings() {
    NetworkSettings settings;
    settings.isServer = false;
    settings.serverAddress = "10.1.2.3";
    settings.port = 4711;
    return settings;
}

TEST(ConnectionEthernetDialog, OpensWithTheStoredValuesAndRadiosSwitchTheEdits) {
    ScriptedPrompt prompt;
    CConnectionEthernetDialog dialog(prompt);
    dialog.show();
    EXPECT_TRUE(child<QRadioButton>(dialog, "serverRadio")->isChecked());
    EXPECT_EQ(child<QLineEdit>(dialog, "portEdit")->text(), "4000");
    EXPECT_EQ(child<QLineEdit>(dialog, "addressEdit")->text(), "localhost");
    EXPECT_FALSE(child<QLineEdit>(dialog, "addressEdit")->isEnabled());
    EXPECT_TRUE(child<QLineEdit>(dialog, "listenEdit")->isEnabled());
    dialog.hide();

    dialog.setSettings(clientSettings());
    dialog.show();
    EXPECT_TRUE(child<QRadioButton>(dialog, "clientRadio")->isChecked());
    EXPECT_EQ(child<QLineEdit>(dialog, "portEdit")->text(), "4711");
    EXPECT_EQ(child<QLineEdit>(dialog, "addressEdit")->text(), "10.1.2.3");
    EXPECT_TRUE(child<QLineEdit>(dialog, "addressEdit")->isEnabled());
    EXPECT_FALSE(child<QLineEdit>(dialog, "listenEdit")->isEnabled());

    child<QRadioButton>(dialog, "serverRadio")->click();
    EXPECT_FALSE(child<QLineEdit>(dialog, "addressEdit")->isEnabled());
    child<QRadioButton>(dialog, "clientRadio")->click();
    EXPECT_TRUE(child<QLineEdit>(dialog, "addressEdit")->isEnabled());
}

TEST(ConnectionEthernetDialog, OkChecksKeepTheDialogOpenAndStoreNothing) {
    struct Case {
        bool server;
        const char* port;
        const char* address;
        const char* message;
    };
    const Case cases[] = {
        {true, "3999", "", "The minimum value for 'Port' is '4000' !"},
        {false, "5000", "", "You must add a value for 'IP adress server' !"},
        {true, "", "x", "You must add a value for 'Port' !"},
    };
    for (const Case& c : cases) {
        ScriptedPrompt prompt;
        CConnectionEthernetDialog dialog(prompt);
        dialog.setSettings(clientSettings());
        dialog.show();
        child<QRadioButton>(dialog, c.server ? "serverRadio" : "clientRadio")->click();
        child<QLineEdit>(dialog, "portEdit")->setText(c.port);
        child<QLineEdit>(dialog, "addressEdit")->setText(c.address);
        QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
        EXPECT_EQ(prompt.messages, std::vector<std::string>{c.message}) << c.port;
        EXPECT_TRUE(dialog.isVisible()) << c.port;
        const NetworkSettings kept = dialog.settings();
        EXPECT_FALSE(kept.isServer);
        EXPECT_EQ(kept.port, 4711);
        EXPECT_EQ(kept.serverAddress, "10.1.2.3");
    }
}

TEST(ConnectionEthernetDialog, OkStoresAndCancelDiscards) {
    ScriptedPrompt prompt;
    CConnectionEthernetDialog dialog(prompt);
    dialog.setSettings(clientSettings());
    dialog.show();
    // A server needs no server address.
    child<QRadioButton>(dialog, "serverRadio")->click();
    child<QLineEdit>(dialog, "addressEdit")->clear();
    child<QLineEdit>(dialog, "portEdit")->setText("6000");
    child<QLineEdit>(dialog, "listenEdit")->setText("127.0.0.1");
    QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    NetworkSettings stored = dialog.settings();
    EXPECT_TRUE(stored.isServer);
    EXPECT_EQ(stored.port, 6000);
    EXPECT_EQ(stored.serverAddress, "");
    EXPECT_EQ(stored.listenAddress, "127.0.0.1");

    dialog.show();
    child<QLineEdit>(dialog, "portEdit")->setText("7000");
    QTest::mouseClick(child<QPushButton>(dialog, "cancelButton"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.settings().port, 6000);
    dialog.show();
    EXPECT_EQ(child<QLineEdit>(dialog, "portEdit")->text(), "6000");
}

TEST(ConnectionEthernetDialog, HelpButtonAndF1AskForTopic106) {
    ScriptedPrompt prompt;
    CConnectionEthernetDialog dialog(prompt);
    dialog.show();
    QSignalSpy help(&dialog, &CConnectionEthernetDialog::helpRequested);
    QTest::mouseClick(child<QPushButton>(dialog, "helpButton"), Qt::LeftButton);
    QTest::keyClick(&dialog, Qt::Key_F1);
    ASSERT_EQ(help.count(), 2);
    EXPECT_EQ(help.at(0).at(0).toInt(), 106);
    EXPECT_EQ(help.at(1).at(0).toInt(), 106);
    // Enter in an edit leaves the dialog open.
    QTest::keyClick(child<QLineEdit>(dialog, "portEdit"), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
