#include "app/ProcessPriority.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace pv {

namespace {

struct ClassNice {
    PriorityClass priority;
    int nice;
};

constexpr ClassNice kClasses[] = {
    {PriorityClass::Realtime, -20},
    {PriorityClass::High, -10},
    {PriorityClass::Normal, 0},
    {PriorityClass::Idle, 19},
};

bool setThreadNice(id_t tid, int nice) {
    return ::setpriority(PRIO_PROCESS, tid, nice) == 0;
}

}  // namespace

int niceValue(PriorityClass priority) {
    for (const ClassNice& c : kClasses) {
        if (c.priority == priority) {
            return c.nice;
        }
    }
    return 0;
}

PriorityClass priorityClassOfNice(int nice) {
    for (const ClassNice& c : kClasses) {
        if (c.nice == nice) {
            return c.priority;
        }
    }
    return PriorityClass::Normal;
}

// The main thread's value stands for the process (its thread id is the process id).
PriorityClass currentPriorityClass() {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
    if (nice == -1 && errno != 0) {
        return PriorityClass::Normal;
    }
    return priorityClassOfNice(nice);
}

// On Linux a nice value belongs to one thread, so "the process" means each of its threads: the
// serial event threads that already run must move with the main thread.
bool setProcessPriority(PriorityClass priority) {
    const int nice = niceValue(priority);
    DIR* tasks = ::opendir("/proc/self/task");
    if (tasks == nullptr) {
        return setThreadNice(0, nice);
    }
    bool all = true;
    while (const dirent* entry = ::readdir(tasks)) {
        char* end = nullptr;
        const long tid = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || tid <= 0) {
            continue;
        }
        // A thread that ended meanwhile is no failure.
        if (!setThreadNice(static_cast<id_t>(tid), nice) && errno != ESRCH) {
            all = false;
        }
    }
    ::closedir(tasks);
    return all;
}

}  // namespace pv
