#include "app/MainMenu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "base/CommandIds.h"
#include "base/CommandTable.h"

namespace pv {

MainMenu::MainMenu(QMenuBar* bar, CommandTable& commands) : QObject(bar), commands_(commands) {
    QMenu* file = bar->addMenu("&File");
    add(file, "&Open...", Command::FileOpen)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    add(file, "&Save", Command::FileSave)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    add(file, "Save &as...", Command::FileSaveAs);
    file->addSeparator();
    add(file, "&Close", Command::FileClose)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* logging = bar->addMenu("&Logging");
    add(logging, "&Start", Command::LoggingStart);
    add(logging, "S&top", Command::LoggingStop);
    add(logging, "&Configure...", Command::LoggingConfigure);

    QMenu* tools = bar->addMenu("&Tools");
    add(tools->addMenu("eXchange"), "&Define...", Command::ExchangeDefine);
    add(tools->addMenu("Trigger"), "&Define", Command::TriggerDefine);
    QMenu* recorder = tools->addMenu("Serial Recorder");
    QMenu* record = recorder->addMenu("Record");
    add(record, "Start", Command::RecordStart);
    add(record, "Stop", Command::RecordStop);
    add(recorder->addMenu("Playback"), "Start", Command::PlaybackStart);

    add(bar->addMenu("&Connections"), "Network...", Command::NetworkSettings);

    QMenu* extras = bar->addMenu("&Extras");
    add(extras, "Priority...", Command::Priority);
    add(extras, "Identifier...", Command::Identifier);
    add(extras, "Configure....", Command::Configure);
    extras->addSeparator();
    QMenu* ascii = extras->addMenu("Define ASCII Symbols");
    add(ascii, "Set 0...63", Command::AsciiSymbols0);
    add(ascii, "Set 64...127", Command::AsciiSymbols64);
    add(ascii, "Set 128...191", Command::AsciiSymbols128);
    add(ascii, "Set 192...255", Command::AsciiSymbols192);
    QMenu* hex = extras->addMenu("Define Hex Symbols");
    add(hex, "Set 0...63", Command::HexSymbols0);
    add(hex, "Set 64...127", Command::HexSymbols64);
    add(hex, "Set 128...191", Command::HexSymbols128);
    add(hex, "Set 192...255", Command::HexSymbols192);
    add(extras, "Use ASCII Symbols in Display", Command::UseAsciiSymbols, true);
    add(extras, "Use Hex Symbols in Display", Command::UseHexSymbols, true);
    extras->addSeparator();
    add(extras, "Local Echo Comport A", Command::LocalEchoA, true);
    add(extras, "Local Echo Comport B", Command::LocalEchoB, true);

    QMenu* help = bar->addMenu("?");
    add(help, "&Help", Command::Help);
    add(help, "&About", Command::About);

    ruleEnabled_[Command::LoggingStop] = false;
    ruleEnabled_[Command::RecordStop] = false;
    refresh();
}

QAction* MainMenu::add(QMenu* menu, const char* caption, int id, bool checkable) {
    QAction* action = menu->addAction(caption);
    action->setCheckable(checkable);
    action->setData(id);
    // The handler flips toggled items and sets their mark itself.
    connect(action, &QAction::triggered, this, [this, id, action, checkable] {
        if (checkable) {
            action->setChecked(!action->isChecked());
        }
        commands_.dispatch(id);
    });
    actions_[id] = action;
    return action;
}

QAction* MainMenu::action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void MainMenu::setChecked(int id, bool on) {
    if (QAction* a = action(id)) {
        a->setChecked(on);
    }
}

void MainMenu::setEnabledByRule(int id, bool on) {
    ruleEnabled_[id] = on;
    refresh();
}

void MainMenu::refresh() {
    for (const auto& [id, action] : actions_) {
        const auto rule = ruleEnabled_.find(id);
        const bool allowed = rule == ruleEnabled_.end() || rule->second;
        action->setEnabled(allowed && commands_.has(id));
    }
}

}  // namespace pv
