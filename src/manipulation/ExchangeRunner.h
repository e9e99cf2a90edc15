#pragma once

#include <QTimer>
#include <array>
#include <functional>

#include "datapath/ReceivePath.h"
#include "manipulation/ExchangeEngine.h"
#include "manipulation/ExchangeSettings.h"
#include "ports/PortSide.h"

namespace pv {

// Runs eXchange between side A's receive buffer and the A to B chain. Whatever the pass decides
// leaves through side A's buffer in blocks of at most its size, each handed to ProcessBlockA;
// the bytes of a partial match wait until more arrive, until the receive path finds side A
// idle, or until side A has brought nothing new for the hold time-out.
class ExchangeRunner : public AtoBStage, private ExchangeSink {
  public:
    ExchangeRunner(PortSide& sideA, std::function<void()> processBlockA);
    ExchangeRunner(const ExchangeRunner&) = delete;
    ExchangeRunner& operator=(const ExchangeRunner&) = delete;

    ExchangeSettings& settings() { return settings_; }
    const ExchangeSettings& settings() const { return settings_; }

    // Runs after bytes were appended to side A's buffer; ends in ProcessBlockA for every block
    // that is decided.
    void ExchangePass() override;
    // The held bytes go out with their partial matches unreplaced.
    void Release() override;
    // exchangeHold: bytes wait for the rest of a match.
    bool holding() const override { return engine_.holding(); }
    size_t heldCount() const { return engine_.heldCount(); }

  private:
    void put(const uint8_t* data, size_t count) override;
    void sendBuffer();
    void followHold();

    PortSide& sideA_;
    std::function<void()> processBlockA_;
    ExchangeSettings settings_;
    ExchangeEngine engine_{settings_};
    std::array<uint8_t, PortSide::kCaptureSize> scratch_{};
    QTimer holdTimer_;
};

}  // namespace pv
