#pragma once
// The reads of a module: the read request, the module's dump collected by
// the read-back session and parsed. What becomes of the settings an
// accepted dump carries is each read's own:
//
//   ReadOperation     "lezen" and `kvr7314-cli read`: into the holder (the
//                     window's boxes), and saved to a file or standard output
//   BackupOperation   what the module holds, kept before anything is
//                     written (and saved as a file: `write --backup FILE`)
//   VerifyOperation   `write --verify`: compared with what was written
//   CheckOperation    `fleet plan`: compared with the module's settings
//                     file; nothing is kept
//   FindOperation     `find`: whether a module answers, with its firmware;
//                     nothing is kept
//
// Each read but a check and a find leaves a line in the log ("read", or
// "verify") and a backup of what the module held.

#include "operations/operation.h"
#include "operations/settingsholder.h"
#include "readback/readbacksession.h"

class ReadingOperation : public Operation {
    Q_OBJECT
public:
    ReadingOperation(ModuleAccess access, OperationContext context, ReadBackSession::Options options,
                     QObject *parent = nullptr);
    ~ReadingOperation() override;

    void start() override;

    ReadBackSession &session() const { return *m_session; }
    // The reply of the current or last run, control characters included.
    const QString &receivedText() const { return m_session->buffer(); }
    // The port of the last run, until the next opening or releasePort().
    SerialPort *port() const { return m_session->port(); }
    void releasePort() override { m_session->releasePort(); }

protected:
    struct Words {
        QString operation;      // its name in the log; empty: no log line
        QString file;           // the file the log line names
        QString prefix;         // before a failure's line ("verify: ")
        QString suffix;         // after it ("; nothing was written")
        QString whenStopped;    // the state a stop leaves behind
    };
    virtual Words words() const = 0;
    // Said as the read begins; empty: nothing.
    virtual QString announcement() const { return {}; }
    // Just before the request goes out, and after any end but success.
    virtual void beforeRead() {}
    virtual void afterFailedRead() {}
    // The dump was accepted: the read's own work with it, ending in conclude().
    virtual void accepted(const SettingsUpdate &update) = 0;

    void halt(const StopCause &cause) override;

    // "WHAT (until its dump is complete, 12 s at most)", or the window's
    // wait: "WHAT (its dump is collected for 12 s)".
    QString readingLine(const QString &what) const;
    const ModuleAccess &access() const { return m_access; }

private:
    void parsed(const DumpParse &parse);
    // A failure's outcome: its line becomes the log's cause and, between
    // the read's prefix and suffix, the last line.
    void endFailed(OperationOutcome outcome);

    ModuleAccess m_access;
    ReadBackSession::Options m_options;
    ReadBackSession *m_session;
};

class ReadOperation : public ReadingOperation {
    Q_OBJECT
public:
    enum class Target {
        None,             // the settings stay in the holder (the window)
        File,             // saved as `file`
        StandardOutput,   // the file's bytes go into the outcome's data
    };
    struct Options {
        ReadBackSession::Options read;
        Target target = Target::None;
        QString file;
    };

    ReadOperation(ModuleAccess access, SettingsHolder &holder, OperationContext context, Options options,
                  QObject *parent = nullptr);
    ReadOperation(ModuleAccess access, SettingsHolder &holder, OperationContext context, QObject *parent = nullptr)
        : ReadOperation(std::move(access), holder, std::move(context), Options{}, parent)
    {
    }

protected:
    // An output file that cannot be written.
    std::optional<OperationOutcome> refusal() const override;
    Words words() const override;
    QString announcement() const override;
    // The aliases are emptied while the module is read, and put back as
    // they were when it cannot be.
    void beforeRead() override;
    void afterFailedRead() override;
    void accepted(const SettingsUpdate &update) override;

private:
    void save(const ModuleSettings &settings);

    SettingsHolder &m_holder;
    Options m_options;
    ModuleSettings m_before;
};

class BackupOperation : public ReadingOperation {
    Q_OBJECT
public:
    // Keeps what the module holds as a backup in the data folder, and
    // saves it as `file` too unless that is empty, with the receiver type
    // the settings to be written name (the dump does not carry it).
    BackupOperation(ModuleAccess access, OperationContext context, ReadBackSession::Options options, QString file,
                    ReceiverType receiver, QObject *parent = nullptr);

protected:
    std::optional<OperationOutcome> refusal() const override;
    Words words() const override;
    QString announcement() const override;
    void accepted(const SettingsUpdate &update) override;

private:
    QString m_file;
    ReceiverType m_receiver;
};

class VerifyOperation : public ReadingOperation {
    Q_OBJECT
public:
    // Compares every value the dump carries with `written`, the settings of
    // the write (from `file`).
    VerifyOperation(ModuleAccess access, OperationContext context, ModuleSettings written, QString file,
                    ReadBackSession::Options options, QObject *parent = nullptr);

protected:
    Words words() const override;
    QString announcement() const override;
    void accepted(const SettingsUpdate &update) override;

private:
    ModuleSettings m_written;
    QString m_file;
};

class CheckOperation : public ReadingOperation {
    Q_OBJECT
public:
    // Compares every value the module's dump carries with what the module
    // would hold after `settings` (from the file `file`) was written, with
    // the allowances of a verify. Its outcome: done when the module holds
    // them, differs (with the differences) when not; the settings read,
    // with the file's receiver type, either way.
    CheckOperation(ModuleAccess access, ModuleSettings settings, QString file, ReadBackSession::Options options,
                   QObject *parent = nullptr);

protected:
    Words words() const override;
    QString announcement() const override;
    void accepted(const SettingsUpdate &update) override;

private:
    ModuleSettings m_settings;
    QString m_file;
};

class FindOperation : public ReadingOperation {
    Q_OBJECT
public:
    using ReadingOperation::ReadingOperation;

protected:
    Words words() const override;
    void accepted(const SettingsUpdate &update) override;
};
