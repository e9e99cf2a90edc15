#include "manipulation/ExchangeQuickAccess.h"

#include <QCheckBox>
#include <QHBoxLayout>

#include "base/Prompt.h"
#include "manipulation/ExchangeDefineDialog.h"

namespace pv {

namespace {

constexpr const char* kTextGroup = "eXchange - quick access";
constexpr const char* kTextSet = "Set %1";
constexpr const char* kTextNoData = "No Data entered for this parameter set.";
constexpr int kFirstBoxId = 1126;

}  // namespace

ExchangeQuickAccess::ExchangeQuickAccess(ExchangeSettings& settings, Prompt& prompt,
                                         QWidget* parent)
    : QGroupBox(QString::fromUtf8(kTextGroup), parent), settings_(settings), prompt_(prompt) {
    auto* layout = new QHBoxLayout(this);
    for (int k = 1; k <= kExchangeSetCount; ++k) {
        auto* box = new QCheckBox(QString::fromUtf8(kTextSet).arg(k), this);
        box->setProperty("controlId", kFirstBoxId + k - 1);
        connect(box, &QCheckBox::clicked, this,
                [this, k](bool checked) { onBoxClicked(k, checked); });
        layout->addWidget(box);
        boxes_[static_cast<size_t>(k - 1)] = box;
    }
    dialog_ = new CExchangeDefineDialog(settings_, this);
    showActive();
}

void ExchangeQuickAccess::showActive() {
    for (int k = 1; k <= kExchangeSetCount; ++k) {
        setBox(k)->setChecked(settings_.set(k).active);
    }
}

void ExchangeQuickAccess::OnExchangeDefine() {
    dialog_->exec();
    showActive();
}

void ExchangeQuickAccess::onBoxClicked(int k, bool checked) {
    if (!settings_.ToggleFromQuickAccess(k, checked)) {
        setBox(k)->setChecked(false);
        prompt_.message(kTextNoData);
    }
}

}  // namespace pv
