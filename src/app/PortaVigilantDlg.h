#pragma once

#include <QWidget>
#include <memory>

#include "app/QtPrompt.h"
#include "datapath/LineMonitor.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The main window. It shows the traffic and hands every user action to LineMonitor.
class CPortaVigilantDlg : public QWidget, public MonitorView {
    Q_OBJECT

  public:
    explicit CPortaVigilantDlg(QWidget* parent = nullptr);
    ~CPortaVigilantDlg() override;

    LineMonitor& monitor() { return *monitor_; }

    Prompt& prompt() override { return prompt_; }
    void showBlock(Side side, const uint8_t* bytes, int count) override;
    void sideStateChanged(Side side) override;

  private:
    struct SideControls {
        QLineEdit* device = nullptr;
        QLineEdit* baud = nullptr;
        QPushButton* start = nullptr;
        QPushButton* stop = nullptr;
    };

    QWidget* buildSideBox(Side side);
    void startClicked(Side side);

    QtPrompt prompt_;
    std::unique_ptr<LineMonitor> monitor_;
    SideControls controls_[2];
    QPlainTextEdit* traffic_ = nullptr;
};

// Shows the main window and runs the event loop until it closes.
int runMainWindow();
