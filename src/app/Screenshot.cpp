#include "app/Screenshot.h"

#include <QComboBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "app/PortaVigilantDlg.h"
#include "ports/PortSettingsBox.h"

namespace pv {

namespace {

constexpr int kDefaultDelayMs = 3000;

}  // namespace

void armScreenshot(CPortaVigilantDlg& window) {
    const QString path = qEnvironmentVariable("PV_SCREENSHOT");
    if (path.isEmpty()) {
        return;
    }
    const QStringList devices =
        qEnvironmentVariable("PV_SCREENSHOT_DEVICES").split(',', Qt::SkipEmptyParts);
    for (int i = 0; i < devices.size() && i < 2; ++i) {
        PortSettingsBox& box = window.settingsBox(i == 0 ? Side::A : Side::B);
        box.portList()->setEditText(devices[i]);
        box.startButton()->click();
    }
    bool ok = false;
    int delay = qEnvironmentVariableIntValue("PV_SCREENSHOT_DELAY_MS", &ok);
    if (!ok || delay < 0) {
        delay = kDefaultDelayMs;
    }
    QTimer::singleShot(delay, &window, [&window, path] {
        if (!window.grab().save(path)) {
            std::fprintf(stderr, "portavigilant: cannot write %s\n", qPrintable(path));
        }
        window.close();
    });
}

}  // namespace pv
