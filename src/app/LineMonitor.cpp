#include "app/LineMonitor.h"

#include "base/CommandIds.h"

namespace pv {

namespace {

constexpr int kRatePeriodMs = 1000;
constexpr const char* kTextUploadSideAStopped = "Comport A is not started - the file is not sent";
constexpr const char* kTextUploadLinkDown =
    "Comport A's network link is not connected - the file is not sent";

}  // namespace

LineMonitor::LineMonitor(MonitorView& view, TtyBackend& lines, QObject* parent)
    : QObject(parent),
      view_(view),
      sides_(view, receive_, lines),
      receive_(sides_.side(Side::A), sides_.side(Side::B), *this),
      exchange_(sides_.side(Side::A), [this] { receive_.ProcessBlockA(); }),
      display_(view, sides_.side(Side::A), sides_.side(Side::B)),
      triggers_(view, sides_.side(Side::A).port, display_),
      logging_(view, sides_.side(Side::A), sides_.side(Side::B), display_.formatter().symbols(),
               identifier_),
      recorder_(view, sides_.side(Side::A), display_,
                {[this] { return parameters_.parameterFile().path(); },
                 [this] {
                     return logging_.loggingActive() ? logging_.logWriter().path() : std::string();
                 }}),
      terminal_(terminalSettings_, view.prompt(), [this] { return sides_.side(Side::A).started; }),
      transfer_(terminal_, view.prompt(),
                {[this] { return uploadRefusal(); },
                 [this](const uint8_t* data, int count) { receive_.receiveB(data, count); },
                 [this] { return receive_.backlog(Side::A); },
                 [this](bool on) {
                     for (Channel* channel : sides_.side(Side::A).channels) {
                         channel->holdOutput(on);
                     }
                     display_.holdClock(on);
                 }}),
      parameters_(*this, {sides_.settings(Side::A), sides_.settings(Side::B), exchange_.settings(),
                          logging_.storedSettings(), sides_.networkSettings(), triggers_.trigger(),
                          terminalSettings_, display_.formatter(), sides_.side(Side::A).localEcho,
                          sides_.side(Side::B).localEcho, identifier_, checkForUpdate_}) {
    receive_.setStage(&exchange_);
    display_.setLog(&logging_);
    receive_.setRecordHook(
        [this](const uint8_t* data, int count) { recorder_.recordBlock(data, count); });
    connect(&sides_, &SideControl::sideLost, this, [this](Side side) {
        if (side == Side::A) {
            recorder_.sideALost();
        }
    });
    connect(&receive_, &ReceivePath::backlogShrank, &sides_, &SideControl::backlogShrank);
    connect(&receive_, &ReceivePath::backlogShrank, &transfer_, [this](Side s) {
        if (s == Side::A) {
            transfer_.backlogShrank();
        }
    });
    connect(&sides_, &SideControl::connectionNamed, this,
            [this](Side side, const std::string& name) { logging_.setConnectionName(side, name); });
    sides_.setTerminalChannel(&terminal_.channel());
    connect(&sides_, &SideControl::terminalRunning, &terminal_, &TerminalControl::setRunning);
    connect(&sides_, &SideControl::terminalRunning, &transfer_, [this](bool on) {
        if (!on) {
            transfer_.terminalStopped();
        }
    });
    connect(&rateTimer_, &QTimer::timeout, this, &LineMonitor::OnRateTimer);
    rateTimer_.start(kRatePeriodMs);
    registerCommands();
    logging_.registerCommands(commands_);
    recorder_.registerCommands(commands_);
    parameters_.registerCommands(commands_);
}

// The sides stop while the receive path they hand their last bytes to still exists.
LineMonitor::~LineMonitor() {
    sides_.closeAll();
}

void LineMonitor::stopAll() {
    recorder_.abortPlayback();
    if (sides_.side(Side::A).started) {
        receive_.releaseHeldA();
    }
    logging_.OnLoggingStop();
    recorder_.OnRecordStop();
    sides_.StopSide(Side::A);
    sides_.StopSide(Side::B);
}

void LineMonitor::registerCommands() {
    const auto toggleEcho = [this](Side s, int id) {
        bool& echo = sides_.side(s).localEcho;
        echo = !echo;
        view_.setMenuCheck(id, echo);
    };
    commands_.add(Command::LocalEchoA, [=] { toggleEcho(Side::A, Command::LocalEchoA); });
    commands_.add(Command::LocalEchoB, [=] { toggleEcho(Side::B, Command::LocalEchoB); });
    DisplayFormatter& formatter = display_.formatter();
    commands_.add(Command::UseAsciiSymbols, [this, &formatter] {
        formatter.useAsciiSymbols = !formatter.useAsciiSymbols;
        view_.setMenuCheck(Command::UseAsciiSymbols, formatter.useAsciiSymbols);
    });
    commands_.add(Command::UseHexSymbols, [this, &formatter] {
        formatter.useHexSymbols = !formatter.useHexSymbols;
        view_.setMenuCheck(Command::UseHexSymbols, formatter.useHexSymbols);
    });
}

void LineMonitor::OnRateTimer() {
    view_.showRate(rateDisplay_.tick(receive_.takeRxPerSecond(), display_.outputEnabled()));
}

void LineMonitor::forwardedA(const uint8_t* data, int count) {
    transfer_.receivedFromA(data, count);
    const TriggerResult trigger = triggers_.check(data, count);
    display_.DisplayBlock(Side::A, data, count);
    triggers_.finish(trigger);
}

void LineMonitor::forwardedB(const uint8_t* data, int count) {
    display_.DisplayBlock(Side::B, data, count);
}

void LineMonitor::parametersApplied() {
    sides_.settingsLoaded();
    logging_.ApplyLogSettings(logging_.logSettings());
    triggers_.DefineTrigger(TriggerSettings(triggers_.trigger().settings()));
    const DisplayFormatter& formatter = display_.formatter();
    view_.setMenuCheck(Command::UseAsciiSymbols, formatter.useAsciiSymbols);
    view_.setMenuCheck(Command::UseHexSymbols, formatter.useHexSymbols);
    view_.setMenuCheck(Command::LocalEchoA, sides_.side(Side::A).localEcho);
    view_.setMenuCheck(Command::LocalEchoB, sides_.side(Side::B).localEcho);
    view_.parametersLoaded();
}

bool LineMonitor::sidesRunning() const {
    const SideControl& sides = sides_;
    return sides.side(Side::A).started || sides.side(Side::B).started;
}

void LineMonitor::parametersOpened() {
    sides_.StopSide(Side::A);
    sides_.StopSide(Side::B);
    view_.parametersOpened();
    // The baud lists select the loaded rates, or their first entry.
    for (Side s : {Side::A, Side::B}) {
        sides_.WriteSettings(s, sides_.settings(s));
    }
}

std::string LineMonitor::uploadRefusal() {
    const PortSide& a = sides_.side(Side::A);
    if (!a.started) {
        return kTextUploadSideAStopped;
    }
    if (a.isNetwork && !sides_.link().IsConnected()) {
        return kTextUploadLinkDown;
    }
    return {};
}

std::string LineMonitor::ownerName() const {
    return logging_.logWriter().ownerName();
}

}  // namespace pv
