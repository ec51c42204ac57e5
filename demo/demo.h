#pragma once
// The tool without hardware: a simulated KVR7314 on a pseudo-terminal, the
// real main window with all four COM ports leading to it, and beside it a
// live view of what the module shows. Every button of the window works as
// it does against a real module, because it is the same window and the
// same serial code; only the device behind "COM n" differs.

#include "app/mainwindow.h"
#include "demo/moduleview.h"
#ifdef Q_OS_WIN
#include "sim/simulatedline.h"
#else
#include "sim/ptyhost.h"
#endif

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
    QString errorString() const;

    // Shows the main window with the module view to its right.
    void show();

    // Puts what the module shows right now into the view.
    void refresh();

    // Both windows side by side, as one picture.
    QImage picture();

    ModuleLine &host() { return m_host; }
    MainWindow *window() const { return m_window.get(); }
    ModuleView *view() const { return m_view.get(); }

protected:
    // Closing the main window ("Afsluiten") closes the view with it.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Prompts &m_prompts;
    Clock &m_clock;
    // Before the window: the window's port closes first. On Linux the window
    // reaches the module through its real serial code on a pseudo-terminal;
    // Windows has none, so there the module's line is inside the program.
#ifdef Q_OS_WIN
    SimulatedLine m_host;
#else
    PtyHost m_host;
#endif
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ModuleView> m_view;
    QTimer m_refreshTimer;
};

// What the demo's module holds at start: a module set up earlier with the
// standard texts and times and a few aliases, so that "lezen" and a test
// call show something at once.
ModuleSettings demoModuleSettings();
