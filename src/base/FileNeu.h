#pragma once

#include <sys/types.h>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pv {

class Prompt;

// Which file a path or a descriptor stands for: the same pair is the same file.
struct FileId {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};

// The program's one file class: a POSIX file whose every operation returns a failure value
// instead of raising, and shows a German text naming the cause and the file. On top of it the
// line readers and writers of the program's text files (CR LF line ends, "0"/"1" flags, decimal
// lines). Bytes go through untranslated in both directions.
//
// A file can also live in memory (OpenMemory): every operation then works on a byte string as
// it would on a file of those bytes, which lets the parsers on top run without touching a disk.
//
// Messages go to the prompt given (none: errors are only returned). One thread at a time.
class CFileNeu {
  public:
    // Open flags, with the values of the classic file class so stored flags keep their meaning.
    // Share and text/binary flags are accepted and ignored: files are always binary.
    static constexpr unsigned modeRead = 0x0000;
    static constexpr unsigned modeWrite = 0x0001;
    static constexpr unsigned modeReadWrite = 0x0002;
    static constexpr unsigned modeCreate = 0x1000;
    static constexpr unsigned modeNoTruncate = 0x2000;

    // Cause codes of a file error; each has its text (causeText).
    enum Cause {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    static constexpr const char* kLineEnd = "\r\n";
    // Lines longer than this keep their first kMaxLineLength bytes (and their line end), so a
    // file without line ends cannot exhaust memory.
    static constexpr size_t kMaxLineLength = size_t{16} << 20;

    explicit CFileNeu(Prompt* prompt = nullptr);
    ~CFileNeu();
    CFileNeu(const CFileNeu&) = delete;
    CFileNeu& operator=(const CFileNeu&) = delete;

    void setPrompt(Prompt* prompt) { prompt_ = prompt; }
    bool showMessages() const { return showMessages_; }
    void setShowMessages(bool on) { showMessages_ = on; }
    bool isOpen() const { return fd_ >= 0 || inMemory_; }
    const std::string& path() const { return path_; }
    // Cause of the last error met; later successful operations do not reset it.
    Cause lastCause() const { return lastCause_; }
    // The text a message shows for the last error met.
    std::string lastErrorText() const { return lastErrorText_; }

    bool Open(const std::string& path, unsigned flags);
    // For writing a file anew without ever leaving it cut short: the bytes go to a new file in
    // the same folder, and CommitReplacing flushes it to the disk and renames it over the old
    // one, which keeps its permissions. Until then the old file is untouched; Close without a
    // commit removes the new one. A path that names no regular file (a device, a FIFO), or a
    // writable file in a folder that takes no new file, is written in place instead.
    bool OpenReplacing(const std::string& path);
    bool CommitReplacing();
    // Opens the bytes for reading and writing, at their start; the path is empty.
    void OpenMemory(std::string contents = {});
    // The bytes of the last memory file, also after Close.
    const std::string& memory() const { return memory_; }
    void Close();
    void SeekToBegin();
    void SeekToEnd();
    // Length in its low 32 bits, -1 if not open or on error.
    int32_t GetLength();
    // The full length, -1 if not open or on error.
    int64_t GetLength64();
    // The current position, -1 if not open or on error.
    int64_t GetPosition();
    // Cuts the file to the length (or extends it with zeros); the position stays.
    bool SetLength(int64_t length);
    // A regular file or a memory file: no device, FIFO or socket, whose reading may never end.
    bool isRegularFile() const;
    // The open file's identity, and a path's (nothing when there is no file or none open).
    std::optional<FileId> fileId() const;
    static std::optional<FileId> fileIdOf(const std::string& path);
    bool Exists(const std::string& path);
    size_t Read(void* buffer, size_t count);
    bool Write(const void* buffer, size_t count);

    bool WriteString(const std::string& text);
    // A text line holds no CR or LF: they are left out, so the text cannot split its line.
    bool WriteLine(const std::string& text);
    bool WriteInt(int32_t value);
    bool WriteFlag(bool value);

    // One line with its line end; with anyLineFeed every LF ends it, otherwise only CR LF does.
    std::string ReadRawLine(bool anyLineFeed);
    // The same, but reading stops after maxBytes bytes even without a line end.
    std::string ReadRawLine(bool anyLineFeed, size_t maxBytes);
    // The readers store into their argument only when they return true.
    bool ReadTextLine(std::string& text);
    bool ReadInt(int32_t& value);
    bool ReadIntChecked(int32_t& value, int32_t min, int32_t max, int32_t replacement,
                        const std::string& name, bool report);
    bool ReadFlag(bool& value);

    static const char* causeText(int cause);
    static Cause causeOfErrno(int error);

  private:
    // read, write and lseek on the descriptor or on the memory bytes; EINTR is retried.
    ssize_t readSome(char* buffer, size_t count);
    ssize_t writeSome(const char* buffer, size_t count);
    off_t seek(off_t offset, int whence);
    void ReportError(Cause cause, const std::string& path);
    void reportErrno(int error) { ReportError(causeOfErrno(error), path_); }
    void showMessage(const std::string& text);
    // Closes the descriptor; false (reported) when the close failed.
    bool closeDescriptor();
    void discardReplacement();

    Prompt* prompt_;
    int fd_ = -1;
    bool inMemory_ = false;
    std::string memory_;
    size_t memoryPos_ = 0;
    bool showMessages_ = true;
    std::string path_;
    // While replacing: the new file, and the file it replaces (a link's target, not the link).
    std::string replacementPath_;
    std::string replacedPath_;
    Cause lastCause_ = none;
    std::string lastErrorText_;
};

// The text without its CR and LF characters: what a text line of a file can hold.
std::string withoutLineEnds(const std::string& text);

}  // namespace pv
