#include "app/HelpWindow.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>
#include <map>

#include "app/AboutDlg.h"
#include "app/HeadlessOptions.h"
#include "datapath/DefineCharValueDialog.h"
#include "manipulation/TriggerDefineDialog.h"
#include "ports/ConnectionEthernetDialog.h"

using namespace pv;

namespace {

struct Page {
    QStringList hrefs;
    QSet<QString> anchors;
};

Page readPage(const QUrl& url) {
    QFile file(":" + url.path());
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << url.toString().toStdString();
    QTextDocument document;
    document.setHtml(QString::fromUtf8(file.readAll()));
    Page page;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isAnchor()) {
                if (!format.anchorHref().isEmpty()) {
                    page.hrefs << format.anchorHref();
                }
                for (const QString& name : format.anchorNames()) {
                    page.anchors.insert(name);
                }
            }
        }
    }
    return page;
}

TEST(HelpWindowTest, EveryContextShowsItsOwnTopic) {
    const std::map<int, QString> titles = {
        {101, "The main window"}, {102, "About PortaVigilant"},
        {103, "eXchange"},        {104, "Comports: settings, start and stop"},
        {105, "Logging"},         {106, "Network connection"},
        {107, "Trigger"},         {108, "Terminal window"},
        {109, "Symbol sets"},     {110, "Priority, identifier and update check"},
    };
    std::vector<int> expected;
    for (const auto& [context, title] : titles) {
        expected.push_back(context);
    }
    EXPECT_EQ(HelpWindow::contexts(), expected);

    HelpWindow help;
    for (const auto& [context, title] : titles) {
        SCOPED_TRACE(context);
        EXPECT_NE(HelpWindow::topicUrl(context), HelpWindow::contentsUrl());
        help.showTopic(context);
        EXPECT_TRUE(help.isVisible());
        EXPECT_EQ(help.browser()->documentTitle(), title);
        EXPECT_GT(help.browser()->toPlainText().size(), 300);
        EXPECT_EQ(help.windowTitle(), "PortaVigilant Help - " + title);
    }
}

TEST(HelpWindowTest, NumbersWithoutATopicShowTheContents) {
    HelpWindow help;
    for (int context : {0, -1, 100, 111, 40008}) {
        SCOPED_TRACE(context);
        help.showTopic(101);
        help.showTopic(context);
        EXPECT_EQ(help.browser()->source(), HelpWindow::contentsUrl());
        EXPECT_EQ(help.browser()->documentTitle(), "Contents");
    }
}

// The dialogs ask for their numbers on their own; each must land on its own page.
TEST(HelpWindowTest, DialogContextsHaveTheirOwnTopics) {
    const std::pair<int, QString> cases[] = {
        {CAboutDlg::kHelpContext, "About PortaVigilant"},
        {CConnectionEthernetDialog::kHelpContext, "Network connection"},
        {CDefineCharValueDialog::kHelpContext, "Symbol sets"},
        {CTriggerDefineDialog::kHelpContext, "Trigger"},
        {HelpWindow::kMainWindowContext, "The main window"},
    };
    HelpWindow help;
    for (const auto& [context, title] : cases) {
        help.showTopic(context);
        EXPECT_EQ(help.browser()->documentTitle(), title) << context;
    }
}

// Every link leads to a bundled page (and to an anchor on it), and every page can be reached
// from the contents.
TEST(HelpWindowTest, LinksResolveAndReachEveryPage) {
    HelpWindow help;  // registers the bundled pages
    std::map<QString, Page> pages;
    QStringList queue = {HelpWindow::contentsUrl().toString()};
    QStringList pending;
    while (!queue.isEmpty()) {
        const QUrl url(queue.takeFirst());
        const QString key = url.adjusted(QUrl::RemoveFragment).toString();
        if (pages.count(key) != 0) {
            continue;
        }
        pages[key] = readPage(url);
        for (const QString& href : pages[key].hrefs) {
            const QUrl target = url.resolved(QUrl(href));
            SCOPED_TRACE((key + " -> " + href).toStdString());
            ASSERT_EQ(target.scheme(), "qrc");
            ASSERT_TRUE(QFile::exists(":" + target.path()));
            queue << target.toString();
            if (target.hasFragment()) {
                pending << target.toString();
            }
        }
    }
    for (const QString& link : pending) {
        const QUrl url(link);
        const Page& page = pages.at(url.adjusted(QUrl::RemoveFragment).toString());
        EXPECT_TRUE(page.anchors.contains(url.fragment())) << link.toStdString();
    }
    const QStringList files = QDir(":/help").entryList({"*.html"});
    EXPECT_GE(files.size(), 11);
    for (const QString& file : files) {
        EXPECT_EQ(pages.count("qrc:/help/" + file), 1u) << file.toStdString() << " unreachable";
    }
    for (int context : HelpWindow::contexts()) {
        EXPECT_EQ(pages.count(HelpWindow::topicUrl(context).toString()), 1u) << context;
    }
}

TEST(HelpWindowTest, BackForwardAndContentsButtons) {
    HelpWindow help;
    auto* back = help.findChild<QPushButton*>("backButton");
    auto* forward = help.findChild<QPushButton*>("forwardButton");
    auto* contents = help.findChild<QPushButton*>("contentsButton");
    ASSERT_TRUE(back && forward && contents);

    help.showTopic(101);
    EXPECT_FALSE(back->isEnabled());
    help.showTopic(107);
    ASSERT_TRUE(back->isEnabled());
    back->click();
    EXPECT_EQ(help.browser()->source(), HelpWindow::topicUrl(101));
    ASSERT_TRUE(forward->isEnabled());
    forward->click();
    EXPECT_EQ(help.browser()->source(), HelpWindow::topicUrl(107));
    contents->click();
    EXPECT_EQ(help.browser()->source(), HelpWindow::contentsUrl());
    EXPECT_EQ(help.windowTitle(), "PortaVigilant Help - Contents");
}

// The page on running without a window keeps up with the program: every option of the usage text
// has its entry, and every exit status its row.
TEST(HelpWindowTest, HeadlessPageListsEveryOptionAndExitStatus) {
    QFile file(":/help/headless.html");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(file.readAll());
    const QString usage = QString::fromStdString(headlessUsage());
    const QRegularExpression option("--[a-z][a-z-]*");
    int options = 0;
    for (auto it = option.globalMatch(usage); it.hasNext(); ++options) {
        const QString name = it.next().captured();
        EXPECT_TRUE(page.contains("<code>" + name)) << name.toStdString();
    }
    EXPECT_GE(options, 20);
    for (int status : {kExitOk, kExitSideFailed, kExitBadArguments, kExitLogFailed, kExitSaveFailed,
                       kExitTransferFailed}) {
        EXPECT_TRUE(page.contains(QString("<tr><td>%1</td>").arg(status))) << status;
    }
}

}  // namespace
