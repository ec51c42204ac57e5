#pragma once
// The tool without hardware: a simulated KVR7314 on a pseudo-terminal, the
// real main window with all four COM ports leading to it, and beside it a
// live view of what the module shows. Every button of the window works as
// it does against a real module, because it is the same window and the
// same serial code; only the device behind "COM n" differs.

#include "app/mainwindow.h"
#include "demo/moduleview.h"
#include "sim/ptyhost.h"

#include <QImage>
#include <QObject>
#include <QTimer>

#include <memory>

class Demo : public QObject {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 100;

    // The prompts and clock the window uses; they must outlive the demo.
    Demo(Prompts &prompts, Clock &clock, QObject *parent = nullptr);
    ~Demo() override;

    // Opens the simulated module and builds both windows (not shown yet);
    // false, with errorString(), when the system gives no pseudo-terminal.
    bool start();
    QString errorString() const { return m_host.errorString(); }

    // Shows the main window with the module view to its right.
    void show();

    // Puts what the module shows right now into the view.
    void refresh();

    // Both windows side by side, as one picture.
    QImage picture();

    PtyHost &host() { return m_host; }
    MainWindow *window() const { return m_window.get(); }
    ModuleView *view() const { return m_view.get(); }

protected:
    // Closing the main window ("Afsluiten") closes the view with it.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Prompts &m_prompts;
    Clock &m_clock;
    PtyHost m_host;   // before the window: the window's port closes first
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ModuleView> m_view;
    QTimer m_refreshTimer;
};

// What the demo's module holds at start: a module set up earlier with the
// standard texts and times and a few aliases, so that "lezen" and a test
// call show something at once.
ModuleSettings demoModuleSettings();
