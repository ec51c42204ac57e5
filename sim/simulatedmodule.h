#pragma once
// A KVR7314 in plain code: it takes the tool's frames, keeps the settings
// that the 26 programming steps carry, remembers test calls and no-network
// notices, and answers the read request (code 99) with its settings dump.
// It knows nothing of ports or time: its host feeds it bytes with their
// receive time and sends its answers on the line.

#include "settings/modulesettings.h"
#include "sim/framedecoder.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

struct ReceivedFrame {
    QString code;
    QByteArray content;
    qint64 receivedAtMs = 0;   // when its EOT arrived, in the host's clock
};

struct ReceivedTestCall {
    QString code;      // capcode "1".."16" or RI-code "1D".."7D"
    QString message;
};

// How the module answers a read request; the faults let tests play a module
// that is slow, silent, cut off or noisy.
struct ModuleBehaviour {
    QString firmwareVersion = QStringLiteral("1.30");
    int answerDelayMs = 20;    // from the request's EOT to the answer's first byte
    bool answers = true;       // false: the request goes unanswered
    int cutAfter = -1;         // >= 0: only this many characters of the answer are sent
    QByteArray garbage;        // sent in front of the dump
    qint64 floodBytes = 0;     // after the answer, this many more bytes as fast as the line takes them
    int pauseAfter = -1;       // >= 0: a slow module stops for pauseMs after this many characters
    int pauseMs = 1500;
    int hangUpAfter = -1;      // >= 0: the line goes dead after this many frames (a module that drops off)
    bool keepsSettings = false;   // takes the programming steps but keeps what it held (a worn memory)
};

class SimulatedModule {
public:
    SimulatedModule();

    ModuleBehaviour behaviour;

    // Feeds bytes that arrived at `atMs`. Returns what the module sends back
    // in reply to the frames they completed (empty for all but the read
    // request); the host sends it after behaviour.answerDelayMs.
    QByteArray receive(QByteArrayView bytes, qint64 atMs);

    // What the module now holds. Before any programming: the values a module
    // would hold after being programmed with the program's start-up values.
    const ModuleSettings &stored() const { return m_stored; }
    void setStored(const ModuleSettings &settings) { m_stored = settings; }
    // What the module holds once the 26 steps of `settings` were written.
    void holdWritten(ModuleSettings settings);

    const QList<ReceivedFrame> &frames() const { return m_frames; }
    const QList<ReceivedTestCall> &testCalls() const { return m_testCalls; }
    int noNetworkNotices() const { return m_noNetworkNotices; }
    int readRequests() const { return m_readRequests; }
    // Frames whose code or content the module did not understand.
    int rejectedFrames() const { return m_rejectedFrames; }

    // Called for every frame as it is taken (for logging hosts).
    std::function<void(const ReceivedFrame &)> onFrame;

    // The answer to a read request under `behaviour`, as bytes on the line.
    QByteArray readAnswer() const;

private:
    QByteArray take(const ReceivedFrame &frame);
    bool takeProgrammingStep(int step, const QByteArray &content);

    FrameDecoder m_decoder;
    ModuleSettings m_stored;
    QList<ReceivedFrame> m_frames;
    QList<ReceivedTestCall> m_testCalls;
    int m_noNetworkNotices = 0;
    int m_readRequests = 0;
    int m_rejectedFrames = 0;
};
