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
    m_next = Frame{QStringLiteral("test-call"), code, message};
}

void FrameOperation::setNoNetworkNotice()
{
    m_next = Frame{QStringLiteral("no-network"), {}, {}};
}

std::optional<OperationOutcome> FrameOperation::refusal() const
{
    // A typed code goes out between the parentheses as it is: one that is
    // no test-call code would be another frame (99 asks for the dump, 51 is
    // a programming step).
    if (m_next.operation != u"test-call" || isTestCallCode(m_next.code))
        return std::nullopt;
    OperationOutcome refused;
    refused.kind = OperationOutcome::Kind::Refused;
    refused.exit = ExitCode::Usage;
    refused.line = QStringLiteral("no test call was sent: CODE is a capcode 1 to %1 or an RI-code 1D to %2D, not \"%3\"")
                       .arg(kAliasCount)
                       .arg(kPocsagAliasCount)
                       .arg(m_next.code);
    refused.box = OutcomeBox{kDefaultBoxTitle, BoxIcon::Information, notATestCallCodeText(m_next.code), {}};
    return refused;
}

void FrameOperation::start()
{
    if (const auto refused = refusal()) {
        // Said for the frame that was refused; one still on its way goes on.
        emit finished(*refused);
        return;
    }
    // The frame before has left: it is done.
    if (m_leaving->isActive())
        sent();
    if (isRunning()) {
        // The frame before is still on its way (its port opening, or its
        // device server to confirm it): its outcome comes first, then this
        // one goes.
        m_startWhenDone = true;
        return;
    }
    m_sending = m_next;
    beginRecord(m_sending.operation, &m_access);
    holdConnection(m_access);
    if (!begin())
        return;
    // The opening closes the previous port of the same device first.
    m_port.reset();
    m_access.opener()([this](PortOpening opening) { portOpened(std::move(opening)); });
}

bool FrameOperation::canStop() const
{
    return !m_leaving->isActive() && !m_confirming;
}

void FrameOperation::portOpened(PortOpening opening)
{
    if (!isRunning())
        return;
    if (!opening.port) {
        const OperationOutcome outcome = portFailed(opening.failure, m_access.address(), {});
        conclude(outcome, outcome.line);
        startWaiting();
        return;
    }
    m_port = std::move(opening.port);
    connect(m_port.get(), &SerialPort::failed, this, &FrameOperation::lineFailed);
    m_port->writeBytes(m_sending.operation == u"test-call" ? testCallFrame(m_sending.code, m_sending.message)
                                                           : noNetworkFrame());
    if (isRunning())
        m_leaving->start();
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
    conclude(outcome, outcome.line);
    startWaiting();
}

void FrameOperation::sent()
{
    m_leaving->stop();
    if (!m_port) {
        delivered();
        return;
    }
    // A device server must confirm that it has the frame; a local port's
    // has left by now.
    m_confirming = true;
    m_port->confirmWritten([this](const std::optional<QString> &failure) {
        m_confirming = false;
        if (failure)
            notDelivered(*failure);
        else
            delivered();
        startWaiting();
    });
}

void FrameOperation::notDelivered(const QString &description)
{
    PortFailure failure = lineFailure(*m_port, description);
    failure.lostWrites = true;
    OperationOutcome outcome = portFailed(failure, m_access.address(), kWriteFailureText);
    outcome.line += m_sending.operation == u"test-call"
        ? QStringLiteral("; the test call may not have reached the module")
        : QStringLiteral("; the no-network notice may not have reached the module");
    conclude(outcome, outcome.line);
}

void FrameOperation::delivered()
{
    OperationOutcome outcome;
    if (m_sending.operation == u"test-call")
        outcome.line = QStringLiteral("sent a test call to %1 on %2: %3")
                           .arg(m_sending.code, m_access.description(),
                                quoted(m_sending.message.isEmpty() ? kDefaultTestMessage : m_sending.message));
    else
        outcome.line = QStringLiteral("sent the no-network notice on %1").arg(m_access.description());
    conclude(outcome);
}

void FrameOperation::startWaiting()
{
    if (std::exchange(m_startWhenDone, false))
        start();
}

void FrameOperation::halt(const StopCause &cause)
{
    // A stop that came before the frame was written sends nothing.
    if (m_leaving->isActive() || m_confirming)
        return;
    m_startWhenDone = false;
    conclude(stopped(cause, QStringLiteral("nothing was sent")), stopCauseText(cause));
}
