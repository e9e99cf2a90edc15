// The parameter file reader on any bytes, in memory. Whatever it read, the settings it saves must
// load completely and save to the same lines again.
#include <string>

#include "FuzzSupport.h"
#include "datapath/DisplayFormatter.h"
#include "manipulation/ExchangeSettings.h"
#include "manipulation/Trigger.h"
#include "ports/NetworkSettings.h"
#include "ports/PortSettings.h"
#include "recording/LogSettings.h"
#include "settings/ParameterFile.h"
#include "terminal/TerminalSettings.h"

using namespace pv;

namespace pv {
namespace {

// Every record the file holds, with a parameter file bound to them.
struct Records {
    PortSettings a;
    PortSettings b;
    ExchangeSettings exchange;
    LogSettings log;
    NetworkSettings network;
    Trigger trigger;
    TerminalSettings terminal;
    DisplayFormatter display;
    bool echoA = false;
    bool echoB = false;
    std::string identifier;
    bool checkForUpdate = true;
    ParameterFile file{{a, b, exchange, log, network, trigger, terminal, display, echoA, echoB,
                        identifier, checkForUpdate},
                       nullptr};

    bool load(const std::string& bytes) {
        CFileNeu in;
        in.OpenMemory(bytes);
        return file.Load(in);
    }
    std::string save() {
        CFileNeu out;
        out.OpenMemory();
        PV_FUZZ_CHECK(file.Save(out));
        return out.memory();
    }
};

// The lines behind the header, whose last line holds the time of saving.
std::string body(const std::string& saved) {
    size_t at = 0;
    for (int i = 0; i < ParameterFile::kHeaderLines; ++i) {
        at = saved.find("\r\n", at);
        PV_FUZZ_CHECK(at != std::string::npos);
        at += 2;
    }
    return saved.substr(at);
}

}  // namespace
}  // namespace pv

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Made once: their construction costs more than a load, and every load starts from defaults.
    static pv::Records first;
    static pv::Records second;
    first.load(std::string(reinterpret_cast<const char*>(data), size));
    const std::string saved = first.save();

    PV_FUZZ_CHECK(second.load(saved));
    size_t lines = 0;
    for (size_t at = 0; (at = saved.find("\r\n", at)) != std::string::npos; at += 2) {
        ++lines;
    }
    PV_FUZZ_CHECK(second.file.lastLineRead() == static_cast<int>(lines) + 1);
    PV_FUZZ_CHECK(pv::body(second.save()) == pv::body(saved));
    return 0;
}
