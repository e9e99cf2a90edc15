#pragma once

namespace pv {

// The four priority classes the user chooses from, in the order of the dialog's buttons, and
// their nice values on Linux.
enum class PriorityClass { Realtime = 0, High = 1, Normal = 2, Idle = 3 };

int niceValue(PriorityClass priority);
// A nice value that is none of the four classes' reads as Normal.
PriorityClass priorityClassOfNice(int nice);

// The class the process runs at now; Normal when it cannot be read.
PriorityClass currentPriorityClass();
// Gives every thread of the process the class's nice value; threads started later inherit it.
// False when a thread could not be set, as raising the priority needs CAP_SYS_NICE (or a
// RLIMIT_NICE that allows it); callers go on regardless.
bool setProcessPriority(PriorityClass priority);

}  // namespace pv
