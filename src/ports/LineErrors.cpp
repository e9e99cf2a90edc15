#include "ports/LineErrors.h"

#include "base/TextFormat.h"

namespace pv {

namespace {

constexpr LineFault kFaults[] = {LineFault::Overrun, LineFault::Framing, LineFault::Parity,
                                 LineFault::Break};

long long of(const LineCounts& c, LineFault fault) {
    switch (fault) {
        case LineFault::Overrun:
            return c.overrun + c.bufferOverrun;
        case LineFault::Framing:
            return c.frame;
        case LineFault::Parity:
            return c.parity;
        case LineFault::Break:
            return c.breaks;
    }
    return 0;
}

const char* nameOf(LineFault fault, bool plural) {
    switch (fault) {
        case LineFault::Overrun:
            return plural ? "overruns" : "overrun";
        case LineFault::Framing:
            return plural ? "framing errors" : "framing error";
        case LineFault::Parity:
            return plural ? "parity errors" : "parity error";
        case LineFault::Break:
            return plural ? "breaks" : "break";
    }
    return "";
}

}  // namespace

void LineErrorTally::reset(const LineCounts& atOpen) {
    base_ = atOpen;
    last_ = atOpen;
}

std::vector<LineFault> LineErrorTally::update(const LineCounts& now) {
    std::vector<LineFault> grown;
    for (LineFault fault : kFaults) {
        if (of(now, fault) > of(last_, fault)) {
            grown.push_back(fault);
        }
    }
    last_ = now;
    return grown;
}

long long LineErrorTally::count(LineFault fault) const {
    const long long n = of(last_, fault) - of(base_, fault);
    return n > 0 ? n : 0;
}

bool LineErrorTally::any() const {
    for (LineFault fault : kFaults) {
        if (count(fault) > 0) {
            return true;
        }
    }
    return false;
}

std::string LineErrorTally::text() const {
    std::string text;
    for (LineFault fault : kFaults) {
        if (const long long n = count(fault); n > 0) {
            text += (text.empty() ? "" : ", ") + std::to_string(n) + " " + nameOf(fault, n != 1);
        }
    }
    return text;
}

std::string lineFaultNotice(char side, const std::string& device, LineFault fault) {
    switch (fault) {
        case LineFault::Overrun:
            return formatText(
                "Comport %c ('%s'): overrun - received bytes were lost before they could be read "
                "(use flow control or a lower baud rate).",
                side, device.c_str());
        case LineFault::Framing:
            return formatText(
                "Comport %c ('%s'): framing errors - check the baud rate and the frame format.",
                side, device.c_str());
        case LineFault::Parity:
            return formatText("Comport %c ('%s'): parity errors - check the parity setting.", side,
                              device.c_str());
        case LineFault::Break:
            return formatText("Comport %c ('%s'): break received.", side, device.c_str());
    }
    return {};
}

}  // namespace pv
