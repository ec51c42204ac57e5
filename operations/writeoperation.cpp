#include "operations/writeoperation.h"

#include "files/backups.h"
#include "link/frames.h"
#include "link/linkmessages.h"
#include "link/programmingrun.h"
#include "operations/readoperation.h"
#include "settings/textrule.h"

#include <QPointer>

namespace {

// What a write that stopped after `stepsSent` steps left in the module.
// Steps to a device server count once it has confirmed them; those it did
// not may or may not have reached the module.
QString moduleStateAfter(const ProgrammingSession &session)
{
    const int sent = session.stepsSent();
    if (!session.sentToDeviceServer()) {
        if (sent == 0)
            return QStringLiteral("no step was sent; the module was not changed");
        return QStringLiteral("%1 of %2 steps were sent: the module is only partly programmed; write it again")
            .arg(sent)
            .arg(kProgrammingStepCount);
    }
    if (sent == 0)
        return QStringLiteral("the device server confirmed none of the %1 steps: the module may have taken some; "
                              "write it again")
            .arg(kProgrammingStepCount);
    if (sent == kProgrammingStepCount)
        return QStringLiteral("all %1 steps reached the device server, but it did not confirm passing them on: "
                              "the module may be only partly programmed; write it again")
            .arg(kProgrammingStepCount);
    return QStringLiteral("%1 of %2 steps reached the device server: the module is only partly programmed; write it again")
        .arg(sent)
        .arg(kProgrammingStepCount);
}

// The same for the window's box, under its Details.
QString moduleStateAfterDutch(const ProgrammingSession &session)
{
    const int sent = session.stepsSent();
    if (sent == 0)
        return QStringLiteral("De seriële server heeft geen van de %1 stappen bevestigd: de KVR7314 kan gedeeltelijk "
                              "geprogrammeerd zijn. Programmeer de KVR7314 opnieuw.")
            .arg(kProgrammingStepCount);
    if (sent == kProgrammingStepCount)
        return QStringLiteral("Alle %1 stappen hebben de seriële server bereikt, maar die heeft niet bevestigd dat hij "
                              "ze heeft doorgegeven: de KVR7314 kan gedeeltelijk geprogrammeerd zijn. Programmeer de "
                              "KVR7314 opnieuw.")
            .arg(kProgrammingStepCount);
    return QStringLiteral("%1 van de %2 stappen hebben de seriële server bereikt: de KVR7314 is maar gedeeltelijk "
                          "geprogrammeerd. Programmeer de KVR7314 opnieuw.")
        .arg(sent)
        .arg(kProgrammingStepCount);
}

} // namespace

WriteOperation::WriteOperation(ModuleAccess access, SettingsHolder &holder, OperationContext context,
                               Options options, QObject *parent)
    : Operation(std::move(context), parent),
      m_access(std::move(access)),
      m_holder(holder),
      m_options(std::move(options)),
      m_session(new ProgrammingSession(m_access.opener(), [this] { return m_holder.settings(); }, this))
{
    connect(m_session, &ProgrammingSession::fieldTextChanged, this,
            [this](const SettingsField &field, const QString &text) { m_holder.setFieldText(field, text); });
    connect(m_session, &ProgrammingSession::stepSent, this, &Operation::stepSent);
    connect(m_session, &ProgrammingSession::ledChanged, this, &Operation::ledChanged);
    connect(m_session, &ProgrammingSession::finished, this, &WriteOperation::written);
    connect(m_session, &ProgrammingSession::failed, this, &WriteOperation::writeFailed);
}

WriteOperation::~WriteOperation() = default;

std::optional<OperationOutcome> WriteOperation::refusal() const
{
    // A text that holds a key of the file or a label of the dump would
    // leave a module that can be neither read back nor saved.
    const ModuleSettings settings = m_holder.settings();
    const auto key = firstKeyInSentText(settings);
    if (!key)
        return std::nullopt;
    OperationOutcome refused;
    refused.kind = OperationOutcome::Kind::Refused;
    refused.exit = ExitCode::File;
    refused.line = (m_options.file.isEmpty() ? QString() : m_options.file + QStringLiteral(": "))
        + QStringLiteral("nothing was written: %1; change the text").arg(key->english());
    QString text = kNotProgrammedText + QStringLiteral("\r") + key->dutch();
    // The POCSAG layout hides aliases 8 to 16, which are sent all the same.
    if (settings.receiverType == ReceiverType::Pocsag && key->field.alias >= kPocsagAliasCount)
        text += QStringLiteral("\r") + hiddenInPocsagLayoutText(key->field.dutchName);
    refused.box = OutcomeBox{kDefaultBoxTitle, BoxIcon::Information, text, {}};
    return refused;
}

void WriteOperation::start()
{
    if (isRunning() || m_session->isRunning() || !passesCheck())
        return;
    m_session->forgetLastRun();
    say([this] {
        return QStringLiteral("writing %1 to %2: %3 steps, one every %4 ms")
            .arg(m_options.file, m_access.description())
            .arg(kProgrammingStepCount)
            .arg(2 * ProgrammingRun::kTickIntervalMs);
    });
    beginRecord(QStringLiteral("write"), &m_access);
    holdConnection(m_access);
    if (Journal::Record *op = record()) {
        op->entry.file = m_options.file;
        op->entry.replaced = m_options.replaced;
        if (m_options.replacedSettings)
            op->keepReplaced(*m_options.replacedSettings, kReadBackup);
        op->entry.stepCount = kProgrammingStepCount;
    }
    if (!begin())
        return;
    // A module behind the network is connected to first: the run's clock
    // (frame 1 after 450 ms, then one every 300 ms) starts once it is ready.
    m_access.connectFirst([this, guard = QPointer<WriteOperation>(this)](std::optional<PortFailure> failure) {
        if (!guard || !isRunning() || m_session->isRunning())
            return;
        if (failure) {
            writeFailed(*failure);
            return;
        }
        m_session->startProgramming();
        lookUpPortSoon();   // long before step 1 opens the port
    });
}

void WriteOperation::keepWrite(bool complete)
{
    Journal::Record *op = completeRecord();
    if (!op)
        return;
    op->entry.stepsSent = m_session->stepsSent();
    // What went out: the settings as the steps carried them.
    if (op->entry.stepsSent > 0)
        op->backUp(m_holder.settings(), complete ? kWrittenBackup : kPartlyWrittenBackup);
}

void WriteOperation::endWith(OperationOutcome outcome, const QString &cause)
{
    outcome.stepsSent = m_session->stepsSent();
    conclude(outcome, cause);
}

void WriteOperation::written()
{
    const ModuleSettings sent = m_holder.settings();
    m_holder.known = sent;
    keepWrite(true);
    OperationOutcome outcome;
    outcome.line = oneLine(kProgrammedText);
    outcome.box = OutcomeBox{kDefaultBoxTitle, BoxIcon::Information, kProgrammedText, {}};
    if (!m_options.verify) {
        endWith(outcome, {});
        return;
    }
    // The write's own line is said and kept; the verify's ends the operation.
    emit said(outcome.line);
    m_session->releasePort();   // the verify opens the port anew
    closeRecord(true, {}, [this, sent](const Journal::Kept &kept) {
        if (!kept.problems.isEmpty())
            emit notKept(kept.problems);
        // Stopped while its line was kept: the write is done, and said so.
        if (isRunning())
            verify(sent, kept.backup);
    });
}

void WriteOperation::verify(const ModuleSettings &sent, const QString &writtenBackup)
{
    delete m_verify;
    m_verify = new VerifyOperation(m_access, context(), sent, m_options.file, m_options.readOptions, this);
    relay(m_verify);
    connect(m_verify, &Operation::finished, this, [this, writtenBackup](OperationOutcome verified) {
        verified.stepsSent = m_session->stepsSent();
        verified.backup = writtenBackup;
        passOn(verified);
    });
    m_verify->start();
}

void WriteOperation::writeFailed(const PortFailure &failure)
{
    keepWrite(false);
    OperationOutcome outcome = portFailed(failure, m_access.address(), kWriteFailureText);
    if (failure.kind == PortFailure::LineFailed) {
        outcome.line += QStringLiteral("; ") + moduleStateAfter(*m_session);
        if (m_session->sentToDeviceServer() && outcome.box) {
            QString &details = outcome.box->details;
            details += (details.isEmpty() ? QString() : QStringLiteral("\n")) + moduleStateAfterDutch(*m_session);
        }
    }
    endWith(outcome, outcome.line);
}

void WriteOperation::halt(const StopCause &cause)
{
    if (m_verify && m_verify->isRunning()) {
        m_verify->stop(cause);
        return;
    }
    // Between the last step and the verify, while the write's line is kept.
    if (!m_session->isRunning() && m_session->stepsSent() == kProgrammingStepCount) {
        endWith(stopped(cause, QStringLiteral("the module was written, but not verified")), stopCauseText(cause));
        return;
    }
    m_session->stop();
    keepWrite(false);
    endWith(stopped(cause, moduleStateAfter(*m_session)), stopCauseText(cause));
}

void WriteOperation::releasePort()
{
    m_session->releasePort();
    if (m_verify)
        m_verify->releasePort();
}
