#pragma once

#include <QObject>
#include <map>

class QAction;
class QMenu;
class QMenuBar;

namespace pv {

class CommandTable;

// The main window's menu. Every item gives its command id to the command table; an item is
// enabled only while its command has a handler and no enable rule greys it.
class MainMenu : public QObject {
    Q_OBJECT

  public:
    MainMenu(QMenuBar* bar, CommandTable& commands);

    void setChecked(int id, bool on);
    // The enable rules of the main window ("S&top" grey until logging starts, ...).
    void setEnabledByRule(int id, bool on);
    QAction* action(int id) const;
    // Re-reads which commands have handlers.
    void refresh();

  private:
    QAction* add(QMenu* menu, const char* caption, int id, bool checkable = false);

    CommandTable& commands_;
    std::map<int, QAction*> actions_;
    std::map<int, bool> ruleEnabled_;
};

}  // namespace pv
