#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstddef>

namespace pv {

// While it lives, writes that would grow a file past the given size fail as on a full disk
// (EFBIG, after a partial write), instead of ending the process.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(size_t bytes) {
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit small = old_;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit old_{};
    void (*handler_)(int) = nullptr;
};

}  // namespace pv
