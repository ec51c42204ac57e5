#include "operations/frameoperation.h"

#include "link/frames.h"
#include "link/linkmessages.h"

#include <QTimer>

FrameOperation::FrameOperation(ModuleAccess access, OperationContext context, QObject *parent)
    : Operation(std::move(context), parent), m_access(std::move(access)), m_leaving(new QTimer(this))
{
    // The frame takes a few milliseconds on the line; then it has left.
    m_leaving->setObjectName(QStringLiteral("Tmr_Verzonden"));
    m_leaving->setSingleShot(true);
    m_leaving->setInterval(kSingleFrameWaitMs);
    connect(m_leaving, &QTimer::timeout, this, &FrameOperation::sent);
}

FrameOperation::~FrameOperation() = default;

void FrameOperation::setTestCall(const QString &code, const QString &message)
{
    m_operation = QStringLiteral("test-call");
    m_code = code;
    m_message = message;
}

void FrameOperation::setNoNetworkNotice()
{
    m_operation = QStringLiteral("no-network");
    m_code.clear();
    m_message.clear();
}

std::optional<OperationOutcome> FrameOperation::check() const
{
    // A typed code goes out between the parentheses as it is: one that is
    // no test-call code would be another frame (99 asks for the dump, 51 is
    // a programming step).
    if (m_operation != u"test-call" || isTestCallCode(m_code))
        return std::nullopt;
    OperationOutcome refused;
    refused.kind = OperationOutcome::Kind::Refused;
    refused.exit = ExitCode::Usage;
    refused.line = QStringLiteral("no test call was sent: CODE is a capcode 1 to %1 or an RI-code 1D to %2D, not \"%3\"")
                       .arg(kAliasCount)
                       .arg(kPocsagAliasCount)
                       .arg(m_code);
    refused.box = OutcomeBox{kDefaultBoxTitle, BoxIcon::Information, notATestCallCodeText(m_code), {}};
    return refused;
}

void FrameOperation::start()
{
    if (isRunning())
        sent();
    if (const auto refused = check()) {
        conclude(*refused);
        return;
    }
    beginRecord(m_operation, &m_access);
    if (!begin())
        return;
    // The opening closes the previous port of the same device first.
    m_port.reset();
    m_access.address().open(m_access.comDevice, m_access.newPort,
                            [this](PortOpening opening) { portOpened(std::move(opening)); });
}

void FrameOperation::portOpened(PortOpening opening)
{
    if (!isRunning())
        return;
    if (!opening.port) {
        const OperationOutcome outcome = portFailed(opening.failure, m_access.address(), {});
        conclude(outcome, outcome.line);
        return;
    }
    m_port = std::move(opening.port);
    connect(m_port.get(), &SerialPort::failed, this, &FrameOperation::lineFailed);
    m_port->writeBytes(m_operation == u"test-call" ? testCallFrame(m_code, m_message) : noNetworkFrame());
    if (!isRunning())
        return;
    m_leaving->start();
    lookUpPortSoon();
}

void FrameOperation::lineFailed(const QString &description)
{
    // The line went away after the frame had left (an adapter pulled while
    // the window sat idle): nothing that was asked for failed. The next
    // operation opens the port anew and says so if it cannot.
    if (!isRunning() || !m_port || !m_port->lostWrites())
        return;
    m_leaving->stop();
    const OperationOutcome outcome = portFailed(lineFailure(*m_port, description), m_access.address(), kWriteFailureText);
    if (!m_access.keepPortOpen)
        m_port.reset();
    conclude(outcome, outcome.line);
}

void FrameOperation::sent()
{
    m_leaving->stop();
    if (!m_access.keepPortOpen)
        m_port.reset();
    OperationOutcome outcome;
    if (m_operation == u"test-call")
        outcome.line = QStringLiteral("sent a test call to %1 on %2: %3")
                           .arg(m_code, m_access.description(), quoted(m_message.isEmpty() ? kDefaultTestMessage : m_message));
    else
        outcome.line = QStringLiteral("sent the no-network notice on %1").arg(m_access.description());
    conclude(outcome);
}

void FrameOperation::halt(const StopCause &cause)
{
    // A frame is written at once: once written it ends as sent, when it has
    // had time to leave. A stop that came before sends nothing.
    if (!m_leaving->isActive())
        conclude(stopped(cause, QStringLiteral("nothing was sent")), stopCauseText(cause));
}
