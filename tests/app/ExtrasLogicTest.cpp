#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "app/ProcessPriority.h"
#include "app/UpdatePage.h"
#include "app/WindowLayout.h"

using namespace pv;

namespace {

TEST(WindowLayout, ScreensFrom800PixelsGetTheLargeLayout) {
    const struct {
        std::optional<int> height;
        bool small;
        int lines;
    } cases[] = {
        {800, false, 23}, {799, true, 11}, {1080, false, 23},
        {600, true, 11},  {0, true, 11},   {std::nullopt, false, 23},  // nothing read: 1280
    };
    for (const auto& c : cases) {
        const WindowLayout layout = chooseWindowLayout(c.height);
        EXPECT_EQ(layout.smallLayout, c.small) << c.height.value_or(-1);
        EXPECT_EQ(layout.visibleLines, c.lines) << c.height.value_or(-1);
    }
}

std::string page(const std::string& project, const std::string& version,
                 const std::string& release = "01. 02. 2027",
                 const std::string& url = "http://www.example.invalid/pv.html") {
    return "<html><body>\r\nProject: " + project + "<br>\r\nVersion: " + version +
           "<br>\r\nRelease: " + release + "<br>\r\nURL: " + url + "<br>\r\n</body></html>";
}

TEST(UpdatePage, OnlyANewerVersionOfThisProjectGivesTheMessage) {
    const std::string newer =
        "A newer version of PortaVigilant is available!\n\nThis version is V6.01, available is "
        "V6.10, released on 01.02.2027.\n\nSee http://www.example.invalid/pv.html for more "
        "information.";
    const std::string valid = page("PortaVigilant", "6.10");
    const struct {
        const char* name;
        std::string page;
        bool message;
    } cases[] = {
        {"newer", valid, true},
        {"newer, written short", page("PortaVigilant", "6.1"), true},
        {"blanks inside the version", page("PortaVigilant", " 6. 10 "), true},
        {"equal", page("PortaVigilant", "6.01"), false},
        {"older", page("PortaVigilant", "5.99"), false},
        {"not a number", page("PortaVigilant", "new"), false},
        {"project in other case", page("portavigilant", "6.10"), false},
        {"another project", page("PortaVigilantPro", "6.10"), false},
        {"empty release", page("PortaVigilant", "6.10", " "), false},
        {"empty address", page("PortaVigilant", "6.10", "01.02.2027", ""), false},
        {"address not closed", valid.substr(0, valid.rfind("<br")), false},
        {"key at the very start does not count", valid.substr(valid.find("Project:")), false},
        {"text ends at a NUL", std::string(valid).replace(valid.find("URL:") - 1, 1, 1, '\0'),
         false},
        {"text ends at a byte above 0x7F",
         std::string(valid).replace(valid.find("URL:") - 1, 1, 1, '\xE9'), false},
        {"only the first 1000 bytes are read", std::string(990, ' ') + valid, false},
        {"short page", "Project:PortaVig<br>", false},
        {"empty page", "", false},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> message = updateMessage(c.page, "6.01");
        EXPECT_EQ(message.has_value(), c.message) << c.name;
        if (c.message && message) {
            EXPECT_NE(message->find("available is V6.10,"), std::string::npos) << c.name;
        }
    }
    EXPECT_EQ(updateMessage(valid, "6.01"), newer);
    const auto parsed = parseUpdatePage(valid);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->release, "01.02.2027");
    EXPECT_EQ(parsed->url, "http://www.example.invalid/pv.html");
}

TEST(ProcessPriority, NiceValuesMapToTheFourClassesAndAnythingElseReadsNormal) {
    const struct {
        int nice;
        PriorityClass priority;
    } cases[] = {
        {-20, PriorityClass::Realtime}, {-10, PriorityClass::High}, {0, PriorityClass::Normal},
        {19, PriorityClass::Idle},      {5, PriorityClass::Normal}, {-5, PriorityClass::Normal},
        {18, PriorityClass::Normal},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(priorityClassOfNice(c.nice), c.priority) << c.nice;
    }
    for (PriorityClass p : {PriorityClass::Realtime, PriorityClass::High, PriorityClass::Normal,
                            PriorityClass::Idle}) {
        EXPECT_EQ(priorityClassOfNice(niceValue(p)), p);
    }
}

int ownNice() {
    return ::getpriority(PRIO_PROCESS, 0);
}

// Runs in a child process, so that the test process keeps its priority. Each failed check sets
// one bit of the exit code.
int priorityChild() {
    int failures = 0;
    std::atomic<int> step{0};
    std::atomic<int> workerNice{-100};
    std::thread worker([&] {
        while (step.load() == 0) {
            std::this_thread::yield();
        }
        workerNice = ownNice();
        step = 2;
    });
    if (!setProcessPriority(PriorityClass::Idle)) {
        failures |= 1;  // lowering the priority is always allowed
    }
    if (currentPriorityClass() != PriorityClass::Idle) {
        failures |= 2;
    }
    step = 1;
    while (step.load() != 2) {
        std::this_thread::yield();
    }
    worker.join();
    if (workerNice != 19) {
        failures |= 4;  // a thread that already ran moved too
    }
    int laterNice = -100;
    std::thread([&] { laterNice = ownNice(); }).join();
    if (laterNice != 19) {
        failures |= 8;
    }
    // Back to Normal needs the right to raise the priority; without it the call fails and the
    // process stays where it is.
    const bool privileged = ::geteuid() == 0;
    if (setProcessPriority(PriorityClass::Normal) != privileged) {
        failures |= 16;
    }
    if (currentPriorityClass() != (privileged ? PriorityClass::Normal : PriorityClass::Idle)) {
        failures |= 32;
    }
    return failures;
}

TEST(ProcessPriority, EveryThreadOfTheProcessTakesTheNewClass) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::_exit(priorityChild());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
