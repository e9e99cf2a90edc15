#pragma once

#include <QDialog>
#include <string>

#include "ports/NetworkSettings.h"

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace pv {

class Prompt;

// "Connections -> network": server or client, the port, the server's address and the address
// a server listens on. What was edited is stored only on a successful OK.
class CConnectionEthernetDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 106;

    explicit CConnectionEthernetDialog(Prompt& prompt, QWidget* parent = nullptr);

    // Before showing; the controls take these values each time the dialog opens.
    void setSettings(const NetworkSettings& settings);
    // The values stored by the last OK (or set before).
    NetworkSettings settings() const;

  signals:
    void helpRequested(int context);

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void loadControls();
    void updateAddressEnabled();
    void okClicked();

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
