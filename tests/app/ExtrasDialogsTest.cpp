#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
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
#include "base/CommandIds.h"
#include "base/DialogKit.h"
#include "datapath/DisplayPanes.h"
#include "support/ModalDialogs.h"

using namespace pv;

namespace {

// The dialog opens on the class the process runs at; OK sets the chosen class, Cancel nothing.
TEST(PriorityDialog, OpensOnTheCurrentClassAndOnlyOkSetsTheChoice) {
    const struct {
        PriorityClass running;
        PriorityClass chosen;
        bool ok;
    } cases[] = {
        {PriorityClass::Normal, PriorityClass::High, true},
        {PriorityClass::Idle, PriorityClass::Realtime, true},
        {PriorityClass::High, PriorityClass::Idle, false},
    };
    for (const auto& c : cases) {
        CPriorityDialog dialog;
        EXPECT_EQ(dialog.selectedIndex(), -1) << "none chosen before it opens";
        std::vector<PriorityClass> applied;
        dialog.readPriority = [&] { return c.running; };
        dialog.applyPriority = [&](PriorityClass p) {
            applied.push_back(p);
            return false;  // no right to change it: the dialog closes all the same
        };
        whenDialogShows<CPriorityDialog>([&](CPriorityDialog& shown) {
            EXPECT_TRUE(shown.radio(c.running)->isChecked());
            shown.radio(c.chosen)->click();
            (c.ok ? shown.okButton() : shown.cancelButton())->click();
        });
        EXPECT_EQ(dialog.exec(), c.ok ? QDialog::Accepted : QDialog::Rejected);
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
    CPortaVigilantDlg window;
    EXPECT_TRUE(window.monitor().checkForUpdate());
    EXPECT_FALSE(window.updateCheckRunning()) << "no network in tests";
    const struct {
        bool tick;
        bool ok;
        bool result;
    } steps[] = {
        {false, false, true}, {false, true, false}, {true, false, false}, {true, true, true}};
    for (const auto& step : steps) {
        whenDialogShows<CConfigureDialog>([&](CConfigureDialog& dialog) {
            EXPECT_EQ(dialog.updateBox()->text(), "Check for update");
            EXPECT_EQ(dialog.updateBox()->isChecked(), window.monitor().checkForUpdate());
            dialog.updateBox()->setChecked(step.tick);
            (step.ok ? dialog.okButton() : dialog.cancelButton())->click();
        });
        ASSERT_TRUE(window.monitor().commands().dispatch(Command::Configure));
        EXPECT_EQ(window.monitor().checkForUpdate(), step.result);
    }
}

// Each pane shows the layout's rows at the window's first size; the small window fits a screen
// under 800 pixels.
TEST(MainWindowLayout, PanesShowTheLayoutsRowsAndTheSmallWindowFits) {
    int minimumPane[2] = {};
    for (int height : {800, 799}) {
        const WindowLayout layout = chooseWindowLayout(height);
        CPortaVigilantDlg window(layout);
        EXPECT_EQ(window.windowLayout().smallLayout, height < 800);
        window.show();
        QPlainTextEdit* pane = window.panes().hexPane().widget();
        const int rows = pane->viewport()->height() / QFontMetrics(pane->font()).lineSpacing();
        EXPECT_GE(rows, layout.visibleLines) << height;
        EXPECT_GE(window.panes().asciiPane().widget()->viewport()->height(),
                  pane->viewport()->height() - 1);
        minimumPane[layout.smallLayout ? 1 : 0] = pane->minimumHeight();
        if (layout.smallLayout) {
            EXPECT_LT(window.height(), height - 60) << "room for the title bar and a panel";
        }
        // Growing the window grows the panes.
        const int before = pane->height();
        window.resize(window.width(), window.height() + 200);
        EXPECT_GE(pane->height(), before + 150);
    }
    EXPECT_LT(minimumPane[1], minimumPane[0]);
}

}  // namespace
