#pragma once
// One "lezen", from the request to the parse: the session owns the port it
// opens, the poll, parse and blink timers (Tmr_Inlezen, Tmr_Verwerken_Data,
// Tmr_Knippertijd_LED) and the ReadBackRun state machine, and tells its
// front end (the window, kvr7314-cli) what happens through signals.
//
//   startReadBack   open the port, send the read request; the first poll
//                   comes kFirstPollDelayMs later, then one every 1 ms
//   pollReceive     one tick of Tmr_Inlezen: takes one received character
//   finishReadBack  the one tick of Tmr_Verwerken_Data, 12 s after the
//                   first character: the buffer is parsed
//   failReadBack    the first poll found nothing: no data
//   blinkDataLed    one tick of Tmr_Knippertijd_LED

#include "link/serialport.h"
#include "readback/readbackrun.h"

#include <QObject>

#include <functional>
#include <memory>

class QTimer;

class ReadBackSession : public QObject {
    Q_OBJECT
public:
    // The window reads as the module's own tool did: one character a poll,
    // the parse 12 s after the first. The command line needs neither wait.
    struct Options {
        // Every waiting character each poll, not one, and a poll whenever
        // characters arrive rather than every millisecond.
        bool takeAllWaiting = false;
        // Parse as soon as the dump is complete (isDumpComplete) and the line
        // has been quiet for kQuietBeforeParseMs; at 12 s at the latest.
        bool endWhenComplete = false;

        // How the command line and a fleet read: fast, every waiting
        // character at once and the parse once the dump is complete; with
        // `fullWait` the dump is collected for the whole 12 s, as the window
        // does.
        static Options quick(bool fullWait)
        {
            return Options{true, !fullWait};
        }
    };
    // Once the dump is complete only its line end is to come. About 58
    // character times at 19200 baud, and nearly twice the 16 ms in which a
    // USB adapter hands on what it received: a line still sending has sent
    // more by then.
    static constexpr int kQuietBeforeParseMs = 30;

    // `openPort`: how each run opens the port (where the module is, is
    // asked at its start).
    explicit ReadBackSession(PortOpener openPort, QObject *parent = nullptr)
        : ReadBackSession(std::move(openPort), {}, parent)
    {
    }
    ReadBackSession(PortOpener openPort, Options options, QObject *parent = nullptr);
    ~ReadBackSession() override;

    // Nothing happens while a run is active.
    void startReadBack();
    void pollReceive();
    void finishReadBack();
    void failReadBack();
    void blinkDataLed();
    // Ends the run where it stands (a stop signal): the timers stop, the
    // LED goes out, and no signal of the run's end follows.
    void stop();

    bool isRunning() const { return m_run.isActive(); }
    // The reply of the current or last run, control characters included.
    const QString &buffer() const { return m_run.buffer(); }

    // The port of the last run; it stays open until the next opening.
    SerialPort *port() const { return m_port.get(); }
    void releasePort();

signals:
    // imgLED_DataIN: shown at the start, toggled every 150 ms, off at the end.
    void ledChanged(bool shown);
    // Characters taken so far, after a poll that took some.
    void received(int characters);
    // The parse tick: the dump was accepted or rejected. Nothing of the run
    // is running any more.
    void finished(const DumpParse &parse);
    // Nothing had arrived by the first poll.
    void noData();
    // The port could not be opened, or failed during the run.
    void failed(const PortFailure &failure);

private:
    void stopTimers();
    void endRun();
    void portOpened(PortOpening opening);
    void onPortFailed(const QString &description);

    PortOpener m_openPort;
    Options m_options;
    QTimer *m_tmrFirstPoll;
    QTimer *m_tmrQuiet;   // endWhenComplete: restarted by every character
    QTimer *m_tmrInlezen;
    QTimer *m_tmrVerwerkenData;
    QTimer *m_tmrKnippertijdLed;
    ReadBackRun m_run;
    std::unique_ptr<SerialPort> m_port;
    bool m_ledShown = false;
    bool m_complete = false;   // endWhenComplete: the dump has all it needs
};
