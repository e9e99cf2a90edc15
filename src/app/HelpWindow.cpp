#include "app/HelpWindow.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <mutex>

#include "app/ProgramIcon.h"

// The topics live in the static gui library, whose resource object the linker would otherwise
// leave out; Q_INIT_RESOURCE must stand outside any namespace.
static void registerHelpResources() {
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(help); });
}

namespace pv {

namespace {

constexpr const char* kTextTitle = "PortaVigilant Help";
constexpr const char* kTextTitleWithTopic = "PortaVigilant Help - %1";
constexpr const char* kTextContents = "Contents";
constexpr const char* kTextBack = "Back";
constexpr const char* kTextForward = "Forward";
constexpr const char* kTopicRoot = "qrc:/help/";
constexpr const char* kContentsFile = "index.html";
constexpr const char* kStyleSheet = ":/help/help.css";

struct Topic {
    int context;
    const char* file;
};

// The context numbers the windows and dialogs ask for, and their pages.
constexpr Topic kTopics[] = {
    {101, "mainwindow.html"}, {102, "about.html"},   {103, "exchange.html"}, {104, "ports.html"},
    {105, "logging.html"},    {106, "network.html"}, {107, "trigger.html"},  {108, "terminal.html"},
    {109, "symbols.html"},    {110, "extras.html"},
};

}  // namespace

HelpWindow::HelpWindow() : QWidget(nullptr, Qt::Window) {
    registerHelpResources();
    setWindowTitle(kTextTitle);
    setWindowIcon(programIcon());
    // An open help window must not keep the program alive after the main window has closed.
    setAttribute(Qt::WA_QuitOnClose, false);

    browser_ = new QTextBrowser(this);
    browser_->setObjectName("helpBrowser");
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(true);
    if (QFile css(kStyleSheet); css.open(QIODevice::ReadOnly)) {
        browser_->document()->setDefaultStyleSheet(QString::fromUtf8(css.readAll()));
    }
    auto* contents = new QPushButton(kTextContents, this);
    contents->setObjectName("contentsButton");
    back_ = new QPushButton(kTextBack, this);
    back_->setObjectName("backButton");
    back_->setEnabled(false);
    forward_ = new QPushButton(kTextForward, this);
    forward_->setObjectName("forwardButton");
    forward_->setEnabled(false);

    auto* bar = new QHBoxLayout;
    bar->addWidget(contents);
    bar->addWidget(back_);
    bar->addWidget(forward_);
    bar->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(browser_, 1);

    connect(contents, &QPushButton::clicked, this, &HelpWindow::showContents);
    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::updateTitle);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    resize(680, 600);
}

QUrl HelpWindow::contentsUrl() {
    return QUrl(QString(kTopicRoot) + kContentsFile);
}

QUrl HelpWindow::topicUrl(int context) {
    for (const Topic& topic : kTopics) {
        if (topic.context == context) {
            return QUrl(QString(kTopicRoot) + topic.file);
        }
    }
    return contentsUrl();
}

std::vector<int> HelpWindow::contexts() {
    std::vector<int> list;
    for (const Topic& topic : kTopics) {
        list.push_back(topic.context);
    }
    return list;
}

void HelpWindow::showTopic(int context) {
    const QUrl url = topicUrl(context);
    if (browser_->source() != url) {
        browser_->setSource(url);
    } else {
        browser_->verticalScrollBar()->setValue(0);
    }
    show();
    raise();
    activateWindow();
}

void HelpWindow::showContents() {
    showTopic(0);
}

void HelpWindow::updateTitle() {
    const QString topic = browser_->documentTitle();
    setWindowTitle(topic.isEmpty() ? QString(kTextTitle) : QString(kTextTitleWithTopic).arg(topic));
}

}  // namespace pv
