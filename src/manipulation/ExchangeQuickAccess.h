#pragma once

#include <QGroupBox>
#include <array>

#include "manipulation/ExchangeSettings.h"

class QCheckBox;

namespace pv {

class CExchangeDefineDialog;
class Prompt;

// The main window's group "eXchange - quick access": one box per set switches it on or off,
// and the group keeps the definition dialog for menu command 40042.
class ExchangeQuickAccess : public QGroupBox {
    Q_OBJECT

  public:
    ExchangeQuickAccess(ExchangeSettings& settings, Prompt& prompt, QWidget* parent = nullptr);

    // The boxes show the sets' active flags.
    void showActive();
    // Command 40042: the definition dialog, then the boxes show what it left.
    void OnExchangeDefine();

    QCheckBox* setBox(int k) const { return boxes_[static_cast<size_t>(k - 1)]; }
    CExchangeDefineDialog& dialog() const { return *dialog_; }

  private:
    void onBoxClicked(int k, bool checked);

    ExchangeSettings& settings_;
    Prompt& prompt_;
    std::array<QCheckBox*, kExchangeSetCount> boxes_{};
    CExchangeDefineDialog* dialog_ = nullptr;
};

}  // namespace pv
