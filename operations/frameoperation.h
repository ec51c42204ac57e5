#pragma once
// "verstuur test" and "geen netwerk" (and `kvr7314-cli test-call`,
// `no-network`): one frame to the module. The port is opened anew, the
// frame written, and the operation ends once the frame has had time to
// leave the port; a port that fails meanwhile, with the frame not all out,
// ends it as failed. The module gives no answer.

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
    // the no-network notice.
    void setTestCall(const QString &code, const QString &message);
    void setNoNetworkNotice();

    // A code the module takes no test call for is refused.
    std::optional<OperationOutcome> check() const;
    // A frame still waiting for its end is done by then.
    void start() override;

    // The port of the last frame, until the next opening or releasePort().
    SerialPort *port() const { return m_port.get(); }
    void releasePort() { m_port.reset(); }

protected:
    void halt(const StopCause &cause) override;

private:
    void portOpened(PortOpening opening);
    void lineFailed(const QString &description);
    void sent();

    ModuleAccess m_access;
    QString m_operation;   // "test-call" or "no-network"
    QString m_code;
    QString m_message;
    QTimer *m_leaving;
    std::unique_ptr<SerialPort> m_port;
};
