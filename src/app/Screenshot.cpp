#include "app/Screenshot.h"

#include <QComboBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "app/PortaVigilantDlg.h"
#include "ports/PortSettingsBox.h"
#include "terminal/TerminalControl.h"
#include "terminal/TerminalDialog.h"

namespace pv {

namespace {

constexpr int kDefaultDelayMs = 3000;
constexpr int kLineEveryMs = 1000;

// Types each line, then Enter, one line a second, as someone at the keyboard would.
void typeLines(CPortaVigilantDlg& window, const QStringList& lines) {
    for (int i = 0; i < lines.size(); ++i) {
        QTimer::singleShot(kLineEveryMs * (i + 1), &window, [&window, line = lines[i]] {
            TerminalControl& terminal = window.monitor().terminal();
            for (const char32_t c : line.toUcs4()) {
                terminal.press({TerminalKeyKind::Character, c});
            }
            terminal.press({TerminalKeyKind::Enter});
        });
    }
}

}  // namespace

void armScreenshot(CPortaVigilantDlg& window) {
    const QString path = qEnvironmentVariable("PV_SCREENSHOT");
    if (path.isEmpty()) {
        return;
    }
    const QStringList devices =
        qEnvironmentVariable("PV_SCREENSHOT_DEVICES").split(',', Qt::SkipEmptyParts);
    const bool terminal = qEnvironmentVariableIsSet("PV_SCREENSHOT_TERMINAL");
    for (int i = 0; i < devices.size() && i < (terminal ? 1 : 2); ++i) {
        PortSettingsBox& box = window.settingsBox(i == 0 ? Side::A : Side::B);
        box.portList()->setEditText(devices[i]);
        box.startButton()->click();
    }
    QWidget* shown = &window;
    if (terminal) {
        shown = &window.terminalWindow();
        window.settingsBox(Side::B).terminalButton()->click();
        typeLines(window, qEnvironmentVariable("PV_SCREENSHOT_TERMINAL").split('|'));
    }
    bool ok = false;
    int delay = qEnvironmentVariableIntValue("PV_SCREENSHOT_DELAY_MS", &ok);
    if (!ok || delay < 0) {
        delay = kDefaultDelayMs;
    }
    QTimer::singleShot(delay, &window, [&window, shown, path] {
        if (!shown->grab().save(path)) {
            std::fprintf(stderr, "portavigilant: cannot write %s\n", qPrintable(path));
        }
        window.close();
    });
}

}  // namespace pv
