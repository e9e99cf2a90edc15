#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace pv {

// Another program, started for a test and killed at its end: a process that holds a device,
// or one that serves a pseudo-terminal. stdinPath, when given, is opened read-write as its
// standard input; what it prints on stdout can be read line by line.
class Spawned {
  public:
    explicit Spawned(const std::vector<std::string>& argv, const std::string& stdinPath = {}) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!stdinPath.empty()) {
            posix_spawn_file_actions_addopen(&actions, 0, stdinPath.c_str(), O_RDWR | O_NOCTTY, 0);
        }
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        if (::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
    }
    ~Spawned() {
        stop();
        if (out_ >= 0) {
            ::close(out_);
        }
    }
    Spawned(const Spawned&) = delete;
    Spawned& operator=(const Spawned&) = delete;

    int pid() const { return pid_; }
    // The next line it prints (without the line end); empty when it ends first.
    std::string readLine() {
        std::string line;
        char c;
        while (::read(out_, &c, 1) == 1 && c != '\n') {
            line += c;
        }
        return line;
    }
    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

// A process that holds a device open without being its other end.
inline std::vector<std::string> holderCommand() {
    return {"sleep", "600"};
}

}  // namespace pv
