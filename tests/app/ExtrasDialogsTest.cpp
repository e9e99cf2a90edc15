#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <vector>

#include "app/ConfigureDialog.h"
#include "app/HelpWindow.h"
#include "app/IdentifierDialog.h"
#include "app/PortaVigilantDlg.h"
#include "app/PriorityDialog.h"
#include "app/UpdateChecker.h"
#include "base/CommandIds.h"
#include "base/DialogKit.h"
#include "datapath/DisplayPanes.h"
#include "support/ModalDialogs.h"

using namespace pv;

namespace {

// The dialog opens on the class the process runs at; OK sets the chosen class, Cancel nothing. A
// class the system refuses keeps the dialog open with a line that says so, until the user picks
// another class or gives up.
TEST(PriorityDialog, OpensOnTheCurrentClassAndOnlyOkSetsTheChoice) {
    const struct {
        PriorityClass running;
        PriorityClass chosen;
        bool ok;
        bool allowed;
        QDialog::DialogCode result;
    } cases[] = {
        {PriorityClass::Normal, PriorityClass::High, true, true, QDialog::Accepted},
        {PriorityClass::Idle, PriorityClass::Realtime, true, false, QDialog::Rejected},
        {PriorityClass::High, PriorityClass::Idle, false, true, QDialog::Rejected},
    };
    for (const auto& c : cases) {
        CPriorityDialog dialog;
        EXPECT_EQ(dialog.selectedIndex(), -1) << "none chosen before it opens";
        std::vector<PriorityClass> applied;
        dialog.readPriority = [&] { return c.running; };
        dialog.applyPriority = [&](PriorityClass p) {
            applied.push_back(p);
            return c.allowed;
        };
        whenDialogShows<CPriorityDialog>([&](CPriorityDialog& shown) {
            EXPECT_TRUE(shown.radio(c.running)->isChecked());
            EXPECT_FALSE(shown.refusedLine()->isVisible());
            shown.radio(c.chosen)->click();
            (c.ok ? shown.okButton() : shown.cancelButton())->click();
            if (c.ok && !c.allowed) {
                EXPECT_TRUE(shown.isVisible()) << "refused: the dialog stays";
                EXPECT_TRUE(shown.refusedLine()->isVisible());
                EXPECT_EQ(shown.refusedLine()->text().count('\n'), 0);
                shown.radio(c.running)->click();
                EXPECT_FALSE(shown.refusedLine()->isVisible()) << "another choice";
                shown.cancelButton()->click();
            }
        });
        EXPECT_EQ(dialog.exec(), c.result);
        EXPECT_EQ(applied,
                  c.ok ? std::vector<PriorityClass>{c.chosen} : std::vector<PriorityClass>{});
    }
}

TEST(PriorityDialog, ReadsABelowNormalProcessAsNormal) {
    CPriorityDialog dialog;
    dialog.readPriority = [] { return priorityClassOfNice(5); };
    dialog.show();
    EXPECT_TRUE(dialog.radio(PriorityClass::Normal)->isChecked());
    EXPECT_EQ(dialog.radio(PriorityClass::High)->text(), "High Priority");
}

// Help and F1 of all three dialogs ask for the same topic, and Enter closes none of them.
TEST(ExtrasDialogs, HelpAndF1AskForTheirTopicAndEnterClosesNothing) {
    CPriorityDialog priority;
    priority.readPriority = [] { return PriorityClass::Normal; };
    priority.applyPriority = [](PriorityClass) { return true; };
    CIdentifierDialog identifier;
    CConfigureDialog configure;
    const std::vector<std::pair<QDialog*, QPushButton*>> dialogs = {
        {&priority, priority.helpButton()},
        {&identifier, identifier.helpButton()},
        {&configure, configure.helpButton()},
    };
    for (const auto& [dialog, help] : dialogs) {
        QSignalSpy asked(dialog, SIGNAL(helpRequested(int)));
        dialog->show();
        help->click();
        QTest::keyClick(dialog, Qt::Key_F1);
        ASSERT_EQ(asked.count(), 2) << dialog->windowTitle().toStdString();
        EXPECT_EQ(asked[0][0].toInt(), 110);
        EXPECT_EQ(asked[1][0].toInt(), 110);
        QTest::keyClick(dialog, Qt::Key_Return);
        EXPECT_TRUE(dialog->isVisible()) << dialog->windowTitle().toStdString();
        EXPECT_EQ(dialog->result(), 0);
    }
    QTest::keyClick(identifier.edit(), Qt::Key_Return);
    EXPECT_TRUE(identifier.isVisible());
}

// The identifier names the measurement in the title; Cancel keeps what was there.
TEST(ExtrasDialogs, IdentifierSetsTheTitle) {
    CPortaVigilantDlg window;
    EXPECT_EQ(window.windowTitle(), "PortaVigilant");
    const struct {
        QString typed;
        bool ok;
        std::string identifier;
        QString title;
    } steps[] = {
        {"Bench 4 \u00b5C", true,
         "Bench 4 \xb5"
         "C",
         "PortaVigilant - Bench 4 \u00b5C"},
        {"discarded", false,
         "Bench 4 \xb5"
         "C",
         "PortaVigilant - Bench 4 \u00b5C"},
        {"", true, "", "PortaVigilant"},
        {"two\nlines", true, "two lines", "PortaVigilant - two lines"},
    };
    for (const auto& step : steps) {
        whenDialogShows<CIdentifierDialog>([&](CIdentifierDialog& dialog) {
            EXPECT_EQ(toCp1252(dialog.edit()->text()), window.monitor().identifier());
            dialog.edit()->setText(step.typed);
            (step.ok ? dialog.okButton() : dialog.cancelButton())->click();
        });
        ASSERT_TRUE(window.monitor().commands().dispatch(Command::Identifier));
        EXPECT_EQ(window.monitor().identifier(), step.identifier) << step.typed.toStdString();
        EXPECT_EQ(window.windowTitle(), step.title);
    }
    // An identifier from elsewhere (a parameter file) shows once the title is brought up to date.
    window.monitor().setIdentifier("Line 7");
    window.updateTitle();
    EXPECT_EQ(window.windowTitle(), "PortaVigilant - Line 7");
}

TEST(ExtrasDialogs, ConfigureKeepsTheUpdateFlagOnlyOnOk) {
    const struct {
        bool tick;
        bool ok;
        bool result;
    } steps[] = {
        {false, false, true}, {false, true, false}, {true, false, false}, {true, true, true}};
    CConfigureDialog dialog;
    for (const auto& step : steps) {
        whenDialogShows<CConfigureDialog>([&](CConfigureDialog& shown) {
            EXPECT_EQ(shown.updateBox()->text(), "Check for update");
            EXPECT_TRUE(shown.updateBox()->isEnabled());
            EXPECT_EQ(shown.updateBox()->isChecked(), shown.checkForUpdate());
            shown.updateBox()->setChecked(step.tick);
            (step.ok ? shown.okButton() : shown.cancelButton())->click();
        });
        dialog.exec();
        EXPECT_EQ(dialog.checkForUpdate(), step.result);
    }
}

// A build without an update address offers the option unticked and disabled, keeps the stored
// choice, and asks nothing of the network: not even a name is looked up.
TEST(ExtrasDialogs, WithoutAnUpdateAddressNothingIsAsked) {
    ASSERT_STREQ(updatePageUrl(), "") << "this test is for a build without an update address";
    qunsetenv("PV_NO_UPDATE_CHECK");
    CPortaVigilantDlg window;
    qputenv("PV_NO_UPDATE_CHECK", "1");
    EXPECT_TRUE(window.monitor().checkForUpdate());
    EXPECT_FALSE(window.updateCheckRunning());
    EXPECT_TRUE(window.findChildren<QNetworkAccessManager*>().isEmpty());
    for (bool ok : {true, false}) {
        whenDialogShows<CConfigureDialog>([&](CConfigureDialog& shown) {
            EXPECT_FALSE(shown.updateBox()->isChecked());
            EXPECT_FALSE(shown.updateBox()->isEnabled());
            EXPECT_FALSE(shown.updateBox()->toolTip().isEmpty());
            (ok ? shown.okButton() : shown.cancelButton())->click();
        });
        ASSERT_TRUE(window.monitor().commands().dispatch(Command::Configure));
        EXPECT_TRUE(window.monitor().checkForUpdate()) << "the stored choice stays";
    }
}

}  // namespace
