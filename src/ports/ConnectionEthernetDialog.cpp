#include "ports/ConnectionEthernetDialog.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QRadioButton>

#include "base/DialogKit.h"
#include "base/Prompt.h"

namespace pv {

namespace {

constexpr const char* kTextTitle = "Connections -> network";
constexpr const char* kTextServer = "This is the server";
constexpr const char* kTextClient = "This is the client";
constexpr const char* kTextPort = "Port";
constexpr const char* kTextAddress = "IP adress server";
constexpr const char* kTextListen = "Listen address (empty: all)";

}  // namespace

CConnectionEthernetDialog::CConnectionEthernetDialog(Prompt& prompt, QWidget* parent)
    : DialogFrame(kTextTitle, kHelpContext, {.help = 1087, .cancel = 1089, .ok = 1090}, parent),
      prompt_(prompt) {
    serverRadio_ = new QRadioButton(kTextServer, this);
    serverRadio_->setObjectName("serverRadio");
    clientRadio_ = new QRadioButton(kTextClient, this);
    clientRadio_->setObjectName("clientRadio");
    portEdit_ = new QLineEdit(this);
    portEdit_->setObjectName("portEdit");
    addressEdit_ = new QLineEdit(this);
    addressEdit_->setObjectName("addressEdit");
    listenEdit_ = new QLineEdit(this);
    refuseLineBreaks(addressEdit_);
    refuseLineBreaks(listenEdit_);
    listenEdit_->setObjectName("listenEdit");

    auto* form = new QFormLayout;
    form->addRow(kTextPort, portEdit_);
    form->addRow(kTextAddress, addressEdit_);
    form->addRow(kTextListen, listenEdit_);
    addContent(serverRadio_);
    addContent(clientRadio_);
    addContent(form);

    connect(serverRadio_, &QRadioButton::clicked, this,
            &CConnectionEthernetDialog::updateAddressEnabled);
    connect(clientRadio_, &QRadioButton::clicked, this,
            &CConnectionEthernetDialog::updateAddressEnabled);
    loadControls();
}

void CConnectionEthernetDialog::setSettings(const NetworkSettings& settings) {
    isServer_ = settings.isServer;
    address_ = settings.serverAddress;
    portText_ = std::to_string(settings.port);
    listenAddress_ = settings.listenAddress;
}

NetworkSettings CConnectionEthernetDialog::settings() const {
    NetworkSettings settings;
    settings.isServer = isServer_;
    settings.serverAddress = address_;
    settings.port = portValue(portText_);
    settings.listenAddress = listenAddress_;
    return settings;
}

void CConnectionEthernetDialog::showEvent(QShowEvent* event) {
    loadControls();
    DialogFrame::showEvent(event);
}

void CConnectionEthernetDialog::loadControls() {
    portEdit_->setText(QString::fromStdString(portText_));
    addressEdit_->setText(QString::fromStdString(address_));
    listenEdit_->setText(QString::fromStdString(listenAddress_));
    serverRadio_->setChecked(isServer_);
    clientRadio_->setChecked(!isServer_);
    updateAddressEnabled();
}

// The server address matters only to a client, the listen address only to a server.
void CConnectionEthernetDialog::updateAddressEnabled() {
    const bool server = serverRadio_->isChecked();
    addressEdit_->setEnabled(!server);
    listenEdit_->setEnabled(server);
}

void CConnectionEthernetDialog::okClicked() {
    const bool isServer = serverRadio_->isChecked();
    const std::string address = addressEdit_->text().toStdString();
    const std::string portText = portEdit_->text().toStdString();
    const std::string listenAddress = listenEdit_->text().trimmed().toStdString();
    if (const char* message = CheckNetworkInput(isServer, address, portText, listenAddress)) {
        prompt_.message(message);
        return;
    }
    isServer_ = isServer;
    address_ = address;
    portText_ = portText;
    listenAddress_ = listenAddress;
    accept();
}

}  // namespace pv
