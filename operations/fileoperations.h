#pragma once
// "opslaan" and "openen": the settings of a holder saved as a .kvr file, or
// a .kvr file opened into it. Both are done when start() returns. A save
// keeps the file it replaces as a backup; an open changes the holder only
// once the whole file has decoded. Each leaves a line in the log when the
// context has a journal (the command line's own reading of its input
// files leaves none).

#include "operations/operation.h"
#include "operations/settingsholder.h"

// What a save and an open share: the holder, and the file named.
class FileOperation : public Operation {
    Q_OBJECT
public:
    void setFile(const QString &path) { m_path = path; }

protected:
    FileOperation(SettingsHolder &holder, OperationContext context, QObject *parent)
        : Operation(std::move(context), parent), m_holder(holder)
    {
    }
    // Done before a stop could be taken.
    void halt(const StopCause &) override {}

    SettingsHolder &m_holder;
    QString m_path;
};

class SaveOperation : public FileOperation {
    Q_OBJECT
public:
    // `monthName`: the month the file's header names (the window takes it
    // once at its start); empty: the month of the moment of saving.
    SaveOperation(SettingsHolder &holder, OperationContext context, QString monthName = {},
                  QObject *parent = nullptr);

    void start() override;

private:
    QString m_monthName;
};

class OpenOperation : public FileOperation {
    Q_OBJECT
public:
    OpenOperation(SettingsHolder &holder, OperationContext context, QObject *parent = nullptr)
        : FileOperation(holder, std::move(context), parent)
    {
    }

    void start() override;
};

// Opens `path` as "openen" does, on the settings of a fresh start, without
// a log line: the settings, or the outcome that says why not.
OperationOutcome openSettingsFile(const QString &path, ModuleSettings *settings);
