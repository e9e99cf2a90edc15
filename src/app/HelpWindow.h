#pragma once

#include <QUrl>
#include <QWidget>
#include <vector>

class QPushButton;
class QTextBrowser;

namespace pv {

// The help window: shows the bundled HTML topic of a help context number, with links between
// the topics, Back, Forward and Contents. One window serves every dialog's "Help" and F1.
class HelpWindow : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kMainWindowContext = 101;

    // Always a top-level window of its own: as the child of another window it would be
    // blocked by every modal dialog over that window, the very dialogs whose Help it shows.
    // The owner keeps it (e.g. in a std::unique_ptr) and deletes it on closing.
    HelpWindow();

    // Shows the topic of the context number (the contents for a number without a topic) and
    // brings the window to the front.
    void showTopic(int context);
    void showContents();

    // The topic of a context number; the contents topic for a number without one.
    static QUrl topicUrl(int context);
    static QUrl contentsUrl();
    // Every context number that has a topic of its own, ascending.
    static std::vector<int> contexts();

    QTextBrowser* browser() const { return browser_; }

  private:
    void updateTitle();

    QTextBrowser* browser_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* forward_ = nullptr;
};

}  // namespace pv
