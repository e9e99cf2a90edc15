#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pv {

// A real pseudo-terminal: the test holds the master ("far end"), the code under test opens the
// slave path as its serial device. The slave stays open here too, so the master never sees a
// hang-up while the code under test reopens it.
class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& path() const { return path_; }
    int master() const { return master_; }
    int slave() const { return slave_; }
    // Closes the slave kept by the test, so closing the master hangs the line up.
    void releaseSlave();
    void closeMaster();

    void write(const std::vector<uint8_t>& bytes) const;
    // Reads from any descriptor until count bytes have arrived or timeoutMs passed without one.
    static void readFd(int fd, std::vector<uint8_t>& out, size_t count, int timeoutMs);
    // Reads until count bytes have arrived or timeoutMs passed without a byte.
    std::vector<uint8_t> read(size_t count, int timeoutMs = 2000) const;

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

std::vector<uint8_t> randomBytes(size_t count, unsigned seed);
std::vector<uint8_t> bytesOf(const std::string& text);

}  // namespace pv
