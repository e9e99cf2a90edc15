#include "manipulation/ExchangeDefineDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <limits>

#include "base/DialogKit.h"

namespace pv {

namespace {

constexpr const char* kTextCaption = "eXchange -> Define";
constexpr const char* kTextGroup = "Parameter set #%1";
constexpr const char* kTextActivate = "Activate";
constexpr const char* kTextWildcard = "Enable wild card";
constexpr const char* kTextAscii = "ASCII";
constexpr const char* kTextHex = "Hex";
constexpr const char* kTextSearchFor = "Search for :";
constexpr const char* kTextReplaceWith = "Replace with :";
constexpr const char* kTextAddEnter = "Add Enter";
constexpr const char* kTextBlanksHint = "Blanks may be used!";
constexpr const char* kTextWildcardHint = "Use \"3F\" as wild card in case of Hex mode !";
constexpr const char* kFieldFont = "Courier New";

// Control ids of sets 1, 2, 3.
struct SetIds {
    int activate, wildcard, ascii, hex, search, enterSearch, replace, enterReplace, hint;
};
constexpr SetIds kIds[kExchangeSetCount] = {
    {1047, 1062, 1048, 1049, 1045, 1060, 1046, 1068, 1185},
    {1050, 1064, 1051, 1052, 1053, 1066, 1054, 1069, 1186},
    {1055, 1065, 1056, 1057, 1058, 1067, 1059, 1070, 1187},
};

}  // namespace

CExchangeDefineDialog::CExchangeDefineDialog(ExchangeSettings& settings, QWidget* parent)
    : DialogFrame(QString::fromUtf8(kTextCaption), kHelpContext,
                  {.help = 1044, .cancel = 1043, .ok = 1042, .hiddenDefault = 1041}, parent),
      settings_(settings) {
    for (int k = 1; k <= kExchangeSetCount; ++k) {
        addContent(buildSet(k));
    }

    QFont fieldFont = font();
    fieldFont.setFamily(kFieldFont);
    for (SetControls& set : sets_) {
        set.search->setFont(fieldFont);
        set.replace->setFont(fieldFont);
    }
    addBesideButtons(new QLabel(QString::fromUtf8(kTextWildcardHint), this));
}

QWidget* CExchangeDefineDialog::buildSet(int k) {
    const SetIds& ids = kIds[k - 1];
    SetControls& c = sets_[static_cast<size_t>(k - 1)];
    auto* group = new QGroupBox(QString::fromUtf8(kTextGroup).arg(k), this);
    c.activate = withId(new QCheckBox(QString::fromUtf8(kTextActivate), group), ids.activate);
    c.wildcard = withId(new QCheckBox(QString::fromUtf8(kTextWildcard), group), ids.wildcard);
    c.ascii = withId(new QRadioButton(QString::fromUtf8(kTextAscii), group), ids.ascii);
    c.hex = withId(new QRadioButton(QString::fromUtf8(kTextHex), group), ids.hex);
    c.search = withId(new QLineEdit(group), ids.search);
    c.enterSearch = withId(new QCheckBox(QString::fromUtf8(kTextAddEnter), group), ids.enterSearch);
    c.replace = withId(new QLineEdit(group), ids.replace);
    c.enterReplace =
        withId(new QCheckBox(QString::fromUtf8(kTextAddEnter), group), ids.enterReplace);
    c.blanksHint = withId(new QLabel(QString::fromUtf8(kTextBlanksHint), group), ids.hint);
    c.blanksHint->hide();
    for (QLineEdit* edit : {c.search, c.replace}) {
        edit->setMaxLength(std::numeric_limits<int>::max());
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString(40, QChar('M'))));
        refuseLineBreaks(edit);
    }
    auto* mode = new QButtonGroup(group);
    mode->addButton(c.ascii);
    mode->addButton(c.hex);

    auto* grid = new QGridLayout(group);
    grid->addWidget(c.activate, 0, 0);
    grid->addWidget(c.wildcard, 1, 0);
    grid->addWidget(c.ascii, 2, 0);
    grid->addWidget(c.hex, 3, 0);
    grid->addWidget(c.blanksHint, 4, 0);
    grid->addWidget(new QLabel(QString::fromUtf8(kTextSearchFor), group), 0, 1);
    grid->addWidget(c.search, 1, 1);
    grid->addWidget(c.enterSearch, 1, 2);
    grid->addWidget(new QLabel(QString::fromUtf8(kTextReplaceWith), group), 2, 1);
    grid->addWidget(c.replace, 3, 1);
    grid->addWidget(c.enterReplace, 3, 2);
    grid->setColumnStretch(1, 1);

    connect(c.activate, &QCheckBox::clicked, this, &CExchangeDefineDialog::followActivate);
    connect(c.ascii, &QRadioButton::clicked, this, [this, k] { followMode(k); });
    connect(c.hex, &QRadioButton::clicked, this, [this, k] { followMode(k); });
    return group;
}

void CExchangeDefineDialog::showEvent(QShowEvent* event) {
    for (int k = 1; k <= kExchangeSetCount; ++k) {
        const SetControls& c = controls(k);
        const ExchangeSetFields fields = fieldsOfExchangeSet(settings_.set(k));
        c.activate->setChecked(fields.active);
        c.wildcard->setChecked(fields.wildcard);
        c.enterSearch->setChecked(fields.addEnterSearch);
        c.enterReplace->setChecked(fields.addEnterReplace);
        (fields.asciiInput ? c.ascii : c.hex)->setChecked(true);
        c.search->setText(fromCp1252(fields.searchText));
        c.replace->setText(fromCp1252(fields.replaceText));
        c.search->setCursorPosition(0);
        c.replace->setCursorPosition(0);
        followMode(k);
    }
    followActivate();
    DialogFrame::showEvent(event);
}

void CExchangeDefineDialog::followActivate() {
    for (const SetControls& c : sets_) {
        c.search->setEnabled(c.activate->isChecked());
        c.replace->setEnabled(c.activate->isChecked());
    }
}

// The texts stay as typed; they are read in the chosen mode on "OK".
void CExchangeDefineDialog::followMode(int k) {
    const SetControls& c = controls(k);
    c.blanksHint->setVisible(c.hex->isChecked());
}

void CExchangeDefineDialog::okClicked() {
    for (int k = 1; k <= kExchangeSetCount; ++k) {
        const SetControls& c = controls(k);
        ExchangeSetFields fields;
        fields.active = c.activate->isChecked();
        fields.wildcard = c.wildcard->isChecked();
        fields.asciiInput = c.ascii->isChecked();
        fields.addEnterSearch = c.enterSearch->isChecked();
        fields.addEnterReplace = c.enterReplace->isChecked();
        fields.searchText = toCp1252(c.search->text());
        fields.replaceText = toCp1252(c.replace->text());
        settings_.storeSet(k, exchangeSetOfFields(fields));
    }
    settings_.RebuildPassCopies();
    accept();
}

}  // namespace pv
