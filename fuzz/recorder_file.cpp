// A recorder file of any bytes: the check must call it good exactly when it holds a whole record
// and no pause above the limit; a good file must then be read back as exactly its records, and
// played with a clock that jumps about, every byte at or after its time and all in order. The
// dump must judge the file as the check does.
#include <algorithm>
#include <string>

#include "FuzzSupport.h"
#include "base/FileNeu.h"
#include "recording/PlaybackScheduler.h"
#include "recording/RecorderDump.h"
#include "recording/RecorderFile.h"

namespace pv {
namespace {

class JumpingClock : public MonotonicClock {
  public:
    int64_t nowUs() override { return us; }
    int64_t us = 0;
};

uint32_t delayAt(const uint8_t* data, size_t record) {
    const uint8_t* r = data + record * kRecordSize;
    return static_cast<uint32_t>(r[0]) << 24 | static_cast<uint32_t>(r[1]) << 16 |
           static_cast<uint32_t>(r[2]) << 8 | r[3];
}

void play(CFileNeu& file, const uint8_t* data, size_t records, pv::fuzz::Pieces& pieces) {
    RecorderReader reader(file, records);
    JumpingClock clock;
    PlaybackScheduler scheduler(reader, {1.0 + static_cast<double>(pieces.next(8) - 1), 1}, clock);
    scheduler.start();
    size_t played = 0;
    while (scheduler.running()) {
        const int64_t due = scheduler.nextDeadlineUs();
        // Now just before the next byte's time, at it, or past it.
        const size_t how = pieces.next(3);
        clock.us = how == 1   ? std::max(clock.us, due - 1)
                   : how == 2 ? std::max(clock.us, due)
                              : std::max(clock.us, due + static_cast<int64_t>(pieces.next(5000)));
        // A timer set for the wait never fires before the byte's time.
        PV_FUZZ_CHECK(due <= clock.us ? scheduler.msUntilNext() == 0
                                      : scheduler.msUntilNext() * 1000 >= due - clock.us);
        const size_t before = played;
        for (uint8_t byte : scheduler.takeDue()) {
            PV_FUZZ_CHECK(played < records && byte == data[played * kRecordSize + 4]);
            ++played;
        }
        PV_FUZZ_CHECK(played - before <= PlaybackScheduler::kMaxBlock);
        PV_FUZZ_CHECK(clock.us < due ? played == before : played > before);
    }
    PV_FUZZ_CHECK(scheduler.state() == PlaybackState::completed && played == records);
    PV_FUZZ_CHECK(scheduler.percent() == 100);
}

}  // namespace
}  // namespace pv

using namespace pv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t records = size / kRecordSize;
    bool withinLimit = true;
    for (size_t i = 0; i < records; ++i) {
        withinLimit = withinLimit && delayAt(data, i) <= kMaxRecordDelayMs;
    }
    const bool playable = records > 0 && withinLimit;

    CFileNeu file;
    file.OpenMemory(std::string(reinterpret_cast<const char*>(data), size));
    const RecorderFileCheck check = checkRecorderFile(file);
    PV_FUZZ_CHECK(check.good() == playable);
    PV_FUZZ_CHECK(check.records == records && check.trailingBytes == size % kRecordSize);

    const RecorderFileCheck dumped = dumpRecorderFile(file, [](const std::string&) {});
    PV_FUZZ_CHECK(dumped.good() == playable);
    if (!playable) {
        return 0;
    }

    RecorderReader reader(file, check.records);
    RecorderRecord record;
    for (size_t i = 0; i < records; ++i) {
        PV_FUZZ_CHECK(reader.next(record));
        PV_FUZZ_CHECK(record.delayMs == delayAt(data, i) &&
                      record.byte == data[i * kRecordSize + 4]);
    }
    PV_FUZZ_CHECK(!reader.next(record) && !reader.failed());

    pv::fuzz::Pieces pieces(data, size);
    play(file, data, records, pieces);
    return 0;
}
