#pragma once
// "schrijven" and `kvr7314-cli write`: the 26 programming steps of the
// settings the holder has at each step's moment, paced by the programming
// session, then (on request) the module read back and compared. A text
// that would leave a module that can be neither read back nor saved is
// refused before anything is sent.
//
// Its log: a "write" line with the steps sent, and a backup of what went
// out; with verify a "verify" line and a backup of what the module gave
// back.

#include "link/programmingsession.h"
#include "operations/operation.h"
#include "operations/settingsholder.h"
#include "readback/readbacksession.h"

#include <memory>

class VerifyOperation;

class WriteOperation : public Operation {
    Q_OBJECT
public:
    struct Options {
        QString file;                          // the settings file written, for the log and the messages
        bool verify = false;                   // then read the module back and compare
        ReadBackSession::Options readOptions;  // how the verify reads
        // What the module held just before (the read before the write): the
        // backup of it kept already, or the settings read, kept as a backup
        // with the write's log line. The log line names it, so an undo can
        // put it back.
        QString replaced;
        std::optional<ModuleSettings> replacedSettings;
    };

    WriteOperation(ModuleAccess access, SettingsHolder &holder, OperationContext context, Options options,
                   QObject *parent = nullptr);
    WriteOperation(ModuleAccess access, SettingsHolder &holder, OperationContext context, QObject *parent = nullptr)
        : WriteOperation(std::move(access), holder, std::move(context), Options{}, parent)
    {
    }
    ~WriteOperation() override;

    // The timers are normalised (their new texts go into the holder), then
    // the session sends a step every 300 ms; step 1 opens the port.
    void start() override;

    // For the next start(): see Options::replaced.
    void setReplaced(const QString &backup) { m_options.replaced = backup; }
    void setReplaced(const ModuleSettings &held) { m_options.replacedSettings = held; }

    ProgrammingSession &session() const { return *m_session; }
    // The port of the last run, until the next opening or releasePort().
    SerialPort *port() const { return m_session->port(); }
    void releasePort() override;

protected:
    // A text that holds a key of the file or a label of the dump.
    std::optional<OperationOutcome> refusal() const override;
    void halt(const StopCause &cause) override;

private:
    void written();
    void verify(const ModuleSettings &sent, const QString &writtenBackup);
    void writeFailed(const PortFailure &failure);
    // The write's log line after `stepsSent` steps, with a backup of what
    // went out when any did.
    void keepWrite(bool complete);
    void endWith(OperationOutcome outcome, const QString &cause);

    ModuleAccess m_access;
    SettingsHolder &m_holder;
    Options m_options;
    ProgrammingSession *m_session;
    VerifyOperation *m_verify = nullptr;
};
