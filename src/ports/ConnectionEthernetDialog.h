#pragma once

#include <string>

#include "base/DialogFrame.h"
#include "ports/NetworkSettings.h"

class QLineEdit;
class QRadioButton;

namespace pv {

class Prompt;

// "Connections -> network": server or client, the port, the server's address and the address
// a server listens on. What was edited is stored only on a successful OK.
class CConnectionEthernetDialog : public DialogFrame {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 106;

    explicit CConnectionEthernetDialog(Prompt& prompt, QWidget* parent = nullptr);

    // Before showing; the controls take these values each time the dialog opens.
    void setSettings(const NetworkSettings& settings);
    // The values stored by the last OK (or set before).
    NetworkSettings settings() const;

  protected:
    void showEvent(QShowEvent* event) override;
    void okClicked() override;

  private:
    void loadControls();
    void updateAddressEnabled();

    Prompt& prompt_;
    bool isServer_ = true;
    std::string address_ = "localhost";
    std::string portText_ = "4000";
    std::string listenAddress_;

    QRadioButton* serverRadio_ = nullptr;
    QRadioButton* clientRadio_ = nullptr;
    QLineEdit* portEdit_ = nullptr;
    QLineEdit* addressEdit_ = nullptr;
    QLineEdit* listenEdit_ = nullptr;
};

}  // namespace pv
