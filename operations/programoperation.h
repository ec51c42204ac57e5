#pragma once
// "Backup read, write, verify": the one sequence by which the command line
// and every fleet command write a module. What the module holds is read
// first, when asked, and kept as a backup in the data folder (and saved as
// a file of the user's: `write --backup FILE`); the write's log line names
// that backup in its `replaced` key, so that an undo can put it back. A
// read that fails leaves the module as it was: nothing is written.

#include "operations/readoperation.h"
#include "operations/writeoperation.h"

class ProgramOperation : public Operation {
    Q_OBJECT
public:
    // What the module held before the write.
    enum class Before {
        NotRead,   // not read now: the write's `replaced` stays empty, unless set
        Read,      // read now, and kept as a backup
    };
    struct Options {
        WriteOperation::Options write;   // the file, the verify and how it reads
        Before before = Before::NotRead;
        QString backupFile;              // Read: saved as this file as well
    };

    ProgramOperation(ModuleAccess access, SettingsHolder &holder, OperationContext context, Options options,
                     QObject *parent = nullptr);
    ~ProgramOperation() override;

    // What the module held, read already (a fleet's check), for the next
    // start(): kept as a backup with the write's log line.
    void setReplaced(const ModuleSettings &held) { m_write->setReplaced(held); }

    void start() override;
    bool canStop() const override;
    void releasePort() override;

protected:
    // A text the module cannot take, or a backup file that cannot be written.
    std::optional<OperationOutcome> refusal() const override;
    void halt(const StopCause &cause) override;

private:
    void write(const QString &replaced);
    Operation *running() const;
    void concludeStopped(const StopCause &cause);

    BackupOperation *m_backup = nullptr;
    WriteOperation *m_write;
    std::optional<StopCause> m_stopAfterBackup;   // a stop that came while the backup was kept
};
