#pragma once
// The serial line between the tool and a SimulatedModule, as far as it does
// not depend on how the tool reaches it: the module takes the tool's bytes
// as they come, and its answers go back at the pace of a real 19200 baud
// line, about 1.92 characters per ms, in chunks every 16 ms as a USB-serial
// adapter delivers them. A slow module's pause holds the line still.
//
// PtyHost puts the line on a pseudo-terminal, for the real serial code;
// SimulatedLine keeps it inside the process (Windows has no pseudo-terminals).

#include "sim/simulatedmodule.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class ModuleLine : public QObject {
    Q_OBJECT
public:
    static constexpr double kCharactersPerMs = 19200.0 / 10.0 / 1000.0;  // 8N1: 10 bits a character
    static constexpr int kChunkIntervalMs = 16;

    explicit ModuleLine(QObject *parent = nullptr);
    ~ModuleLine() override;

    SimulatedModule &module() { return m_module; }
    const SimulatedModule &module() const { return m_module; }

    // Milliseconds since the line was opened: the clock of the module's
    // receive times.
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    double elapsedMsPrecise() const { return m_clock.nsecsElapsed() / 1e6; }

    // Characters queued for sending but not on the line yet.
    qsizetype pendingAnswer() const { return m_outgoing.size() - m_sent; }

    // How much of an answer of `size` characters a 19200 baud line has carried
    // `sendingMs` after its first character went, and no more: at least that
    // one, at most all. A slow module's pause holds the line still for a while.
    static qsizetype charactersDue(double sendingMs, qsizetype size, const ModuleBehaviour &behaviour);

signals:
    // A frame the module took (after the module's own onFrame).
    void frameReceived(const ReceivedFrame &frame);
    // The module dropped off the line after behaviour.hangUpAfter frames;
    // comes right after the frameReceived of the last of them.
    void hungUp();

protected:
    void startClock() { m_clock.start(); }
    // The tool's bytes have reached the module.
    void takeFromTool(QByteArrayView bytes);
    // Hands answer bytes on toward the tool; how many it took.
    virtual qsizetype deliver(QByteArrayView bytes) = 0;
    virtual bool isConnected() const = 0;
    // The whole answer is on the line.
    virtual void answerSent() {}
    // The module drops off: the tool's side sees the line gone.
    virtual void hangUp() = 0;
    void stopPacing() { m_paceTimer.stop(); }

private:
    void queueAnswer(const QByteArray &answer);
    void sendPaced();

    SimulatedModule m_module;
    QElapsedTimer m_clock;
    // The answer on its way out: sent at line pace from m_sendStartMs on.
    QByteArray m_outgoing;
    qsizetype m_sent = 0;
    double m_sendStartMs = 0;
    QTimer m_paceTimer;
};
