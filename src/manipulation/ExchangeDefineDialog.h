#pragma once

#include <array>

#include "base/DialogFrame.h"
#include "manipulation/ExchangeSettings.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace pv {

// "eXchange -> Define": the three parameter sets. The sets belong to the caller and change
// only on "OK".
class CExchangeDefineDialog : public DialogFrame {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 103;

    struct SetControls {
        QCheckBox* activate = nullptr;
        QCheckBox* wildcard = nullptr;
        QRadioButton* ascii = nullptr;
        QRadioButton* hex = nullptr;
        QLineEdit* search = nullptr;
        QCheckBox* enterSearch = nullptr;
        QLineEdit* replace = nullptr;
        QCheckBox* enterReplace = nullptr;
        QLabel* blanksHint = nullptr;
    };

    explicit CExchangeDefineDialog(ExchangeSettings& settings, QWidget* parent = nullptr);

    // Controls of set k, 1 to 3.
    const SetControls& controls(int k) const { return sets_[static_cast<size_t>(k - 1)]; }

  protected:
    void showEvent(QShowEvent* event) override;
    void okClicked() override;

  private:
    QWidget* buildSet(int k);
    void followActivate();
    void followMode(int k);

    ExchangeSettings& settings_;
    std::array<SetControls, kExchangeSetCount> sets_{};
};

}  // namespace pv
