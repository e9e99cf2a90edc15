#include "app/AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ProgramIcon.h"
#include "base/DialogKit.h"
#include "base/Version.h"

namespace pv {

namespace {

constexpr const char* kTextCaption = "About PortaVigilant";
constexpr const char* kTextVersionLine = "PortaVigilant Version %1";
constexpr int kIconSize = 32;
// The window manager's icon and buttons in the title bar beside the caption.
constexpr int kTitleBarButtons = 150;

// Wide enough that the caption is not cut off in the title bar, which most window managers draw
// in a bold and often larger font than the dialog's.
int titleWidth(const QWidget& dialog) {
    QFont title = dialog.font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.2);
    return QFontMetrics(title).horizontalAdvance(dialog.windowTitle()) + kTitleBarButtons;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(kTextCaption);
    // Window-modal rather than application-modal, so a help window opened with F1 from here
    // still takes input while the box is up.
    setWindowModality(Qt::WindowModal);

    auto* icon = new QLabel(this);
    icon->setObjectName("programIcon");
    icon->setPixmap(programIcon().pixmap(kIconSize, kIconSize));
    auto* versionLine = new QLabel(QString(kTextVersionLine).arg(kVersion), this);
    versionLine->setObjectName("versionLine");
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(kTextOk, QDialogButtonBox::AcceptRole);
    ok->setObjectName("okButton");
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addWidget(versionLine, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->addStrut(titleWidth(*this));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        emit helpRequested(kHelpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace pv
