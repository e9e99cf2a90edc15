#pragma once

#include <QDialog>
#include <array>

#include "manipulation/ExchangeSettings.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace pv {

// "eXchange -> Define": the three parameter sets. The sets belong to the caller and change
// only on "OK".
class CExchangeDefineDialog : public QDialog {
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
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

  signals:
    void helpRequested(int context);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* buildSet(int k);
    void followActivate();
    void followMode(int k);
    void onOk();

    ExchangeSettings& settings_;
    std::array<SetControls, kExchangeSetCount> sets_{};
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

}  // namespace pv
