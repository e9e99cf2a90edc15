#pragma once

#include <array>

#include "base/DialogFrame.h"
#include "datapath/SymbolTables.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace pv {

class Prompt;

// Edits 64 entries of the Hex or the ASCII symbol table at a time. The tables belong to the
// caller and change only on "OK"; the dialog object keeps its block and mode between showings.
class CDefineCharValueDialog : public DialogFrame {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 109;

    CDefineCharValueDialog(SymbolTables& tables, Prompt& prompt, QWidget* parent = nullptr);

    // Which block and table the next showing edits.
    void Configure(int firstByte, bool asciiMode);
    int firstByte() const { return firstByte_; }
    bool asciiMode() const { return asciiMode_; }

    QLineEdit* fieldEdit(int k) const { return edits_[static_cast<size_t>(k)]; }
    QLabel* fieldLabel(int k) const { return labels_[static_cast<size_t>(k)]; }
    QPushButton* setDefaultButton() const { return setDefaultButton_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void okClicked() override;

  private:
    void onSetDefault();
    void showFields();

    SymbolTables& tables_;
    Prompt& prompt_;
    int firstByte_ = 0;
    bool asciiMode_ = false;
    SymbolBlock fields_;
    std::array<QLabel*, kSymbolBlockSize> labels_{};
    std::array<QLineEdit*, kSymbolBlockSize> edits_{};
    QPushButton* setDefaultButton_ = nullptr;
};

}  // namespace pv
