#pragma once

#include <functional>
#include <map>

namespace pv {

// One handler per command id. The menu, the buttons, the headless front end and the tests all
// reach a command through dispatch, so a command behaves the same whoever gives it.
class CommandTable {
  public:
    using Handler = std::function<void()>;

    // Registers (or replaces) the handler of id.
    void add(int id, Handler handler) { handlers_[id] = std::move(handler); }
    bool has(int id) const { return handlers_.count(id) != 0; }
    // Runs the handler of id; false when no handler is registered.
    bool dispatch(int id) const {
        const auto it = handlers_.find(id);
        if (it == handlers_.end()) {
            return false;
        }
        it->second();
        return true;
    }

  private:
    std::map<int, Handler> handlers_;
};

}  // namespace pv
