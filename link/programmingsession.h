#pragma once
// One "schrijven", from the click to the last step: the session owns the
// port that step 1 opens, the pacing timer Tmr_Pauze and the ProgrammingRun
// state machine, and tells its front end (the window, kvr7314-cli) what
// happens through signals. The front end only starts it and listens.
//
// Each step takes the settings as they stand at the moment it is sent,
// through the front end's callback: an edit made during the run reaches
// every step that comes after it.

#include "link/programmingrun.h"
#include "link/serialport.h"
#include "settings/fieldtable.h"
#include "settings/modulesettings.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

class QTimer;

class ProgrammingSession : public QObject {
    Q_OBJECT
public:
    // `openPort`: how step 1 opens the port (where the module is, is asked
    // then); `settings`: the values as they stand now, asked at every step.
    ProgrammingSession(PortOpener openPort, std::function<ModuleSettings()> settings, QObject *parent = nullptr);
    ~ProgrammingSession() override;

    // The click on "schrijven": the timers are normalised (and the new texts
    // go back to the front end), then Tmr_Pauze ticks every 150 ms. Nothing
    // happens while a run is active.
    void startProgramming();

    // One tick of Tmr_Pauze (the timer calls it; tests may too). Every second
    // tick sends a step; the tick on which the step count passes 26 ends the
    // run. Nothing happens once the run has ended or been halted.
    void programmingTick();

    // Sends step 1..26 with the settings as they are now; step 1 opens the
    // port first. The steps after it count from when frame 1 went out, so
    // the module gets every frame 300 ms after the one before, however long
    // the opening took.
    void sendProgrammingStep(int step);

    // Halts the run where it stands (a stop signal): no more steps, the LED
    // off, and neither finished() nor failed().
    void stop();

    bool isRunning() const { return m_running; }
    // A run about to start counts no step of the one before: a write whose
    // connection fails before step 1 sent nothing.
    void forgetLastRun();
    // The steps of this run that reached the module's end of the line, once
    // the run has ended: all written to a local port; to a device server,
    // those it acknowledged. During the run, the steps written so far.
    int stepsSent() const { return m_stepsSent; }
    // Whether the steps went to a device server, which confirms them.
    bool sentToDeviceServer() const { return m_port && m_port->reachesDeviceServer(); }

    // The port step 1 opened. It stays open after the run, as the module's
    // own tool kept it, until the next opening or releasePort().
    SerialPort *port() const { return m_port.get(); }
    void releasePort();

signals:
    // A timer text changed by the run: normalised at the start, padded to
    // four characters by its step. The front end shows it in its box.
    void fieldTextChanged(const SettingsField &field, const QString &text);
    void stepSent(int step);
    // imgLED_DataUIT: shown on the advance ticks, hidden otherwise.
    void ledChanged(bool shown);
    // All 26 steps were written, and a device server has confirmed them;
    // the timer has stopped and the LED is off.
    void finished();
    // The port could not be opened at step 1, failed during the run, or a
    // device server did not confirm the steps. The run has been halted
    // (timer stopped, LED off) before this is emitted.
    void failed(const PortFailure &failure);

private:
    void finishProgramming();
    void halt();
    void portOpened(PortOpening opening);
    void sendStep(int step);
    void onPortFailed(const QString &description);
    void confirmed(const std::optional<QString> &failure);
    // The steps the far end has: the last one whose mark it reached.
    void settleStepsSent();

    PortOpener m_openPort;
    std::function<ModuleSettings()> m_settings;
    QTimer *m_tmrPauze;
    ProgrammingRun m_run;
    std::unique_ptr<SerialPort> m_port;
    bool m_running = false;
    int m_stepsSent = 0;
    QList<int> m_marks;   // the port's mark of each step written
};
