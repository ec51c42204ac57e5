#pragma once
// "verstuur test" and "geen netwerk" (and `kvr7314-cli test-call`,
// `no-network`): one frame to the module. The port is opened anew, the
// frame written, and the operation ends once the frame has had time to
// leave the port (and a device server has confirmed that it has it); a
// port that fails meanwhile, with the frame not all out, ends it as failed.
// The module gives no answer.

#include "operations/operation.h"

#include <QByteArray>

class QTimer;

class FrameOperation : public Operation {
    Q_OBJECT
public:
    FrameOperation(ModuleAccess access, OperationContext context, QObject *parent = nullptr);
    ~FrameOperation() override;

    // What the next start() sends: a test call to capcode "1".."16" or
    // RI-code "1D".."7D" (an empty message sends the default test text), or
    // the no-network notice. A frame still on its way keeps its own.
    void setTestCall(const QString &code, const QString &message);
    void setNoNetworkNotice();

    // A frame still on its way is done by then.
    void start() override;
    bool canStop() const override;

    // The port of the last frame, until the next opening or releasePort().
    SerialPort *port() const { return m_port.get(); }
    void releasePort() override { m_port.reset(); }

protected:
    // A code the module takes no test call for.
    std::optional<OperationOutcome> refusal() const override;
    void halt(const StopCause &cause) override;

private:
    struct Frame {
        QString operation;   // "test-call" or "no-network", as the log names it
        QString code;
        QString message;
    };
    void portOpened(PortOpening opening);
    void lineFailed(const QString &description);
    void sent();
    void delivered();
    void notDelivered(const QString &description);
    // The start() that waited for the frame before, now that it has ended.
    void startWaiting();

    ModuleAccess m_access;
    Frame m_next;      // what the next start() sends
    Frame m_sending;   // what this run sends
    QTimer *m_leaving;
    bool m_confirming = false;   // a device server is to confirm the frame
    bool m_startWhenDone = false;   // start() came while the frame before was on its way
    std::unique_ptr<SerialPort> m_port;
};
