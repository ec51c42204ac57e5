#pragma once
// The log of operations: one JSON object per line (JSON Lines) in the data
// folder, appended to by the window and by kvr7314-cli alike, so that what
// went into which module, when, from which program and how it ended can be
// looked up later.
//
// Each line is written with one write call on a file opened for appending,
// then synced: two programs logging at once never mix their lines, and a
// crash loses at most the line being written. A reader skips a torn or
// unreadable line and goes on with the next.

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

struct LogEntry {
    QDateTime time;          // when the operation started
    QString operation;       // write, verify, read, test-call, no-network, save, open
    QString program;         // kvr7314, kvr7314-cli, kvr7314-demo
    QString version;         // the program's version
    QString port;            // the device it talked to
    QString module;          // the module's name in a fleet list; empty outside a fleet
    QString adapter;         // the adapter's description, as the system reports it
    QString serialNumber;    // the adapter's serial number
    QString firmware;        // what the module reported, when it was read
    QString file;            // the settings file written, read into, saved or opened
    QString backup;          // the backup the operation left
    QString replaced;        // the backup of what it replaced: a file, or the window's values
    bool ok = false;
    QString cause;           // why it failed
    int stepsSent = 0;       // write: how many steps went out ...
    int stepCount = 0;       // ... of how many; 0: not a write
    qint64 durationMs = 0;

    bool operator==(const LogEntry &) const = default;
};

// A text for JSON: null when there is none.
QJsonValue jsonText(const QString &text);

// The entry as the log and `history --json` give it. Every key is always
// there; what the operation did not have is null.
QJsonObject logObject(const LogEntry &entry);
// One line of the log, ending in a line feed.
QByteArray logLine(const LogEntry &entry);
// Nothing for a line that is not a complete entry.
std::optional<LogEntry> parseLogLine(QByteArrayView line);

// A message box's text as one line, as the log and the command line give
// it: its lines trimmed, empty ones dropped, joined by single spaces.
QString oneLine(const QString &boxText);

// The log's keys in their order, with what each holds (for the man page).
struct LogKey {
    const char *key;
    const char *meaning;
};
QList<LogKey> logKeys();

// Appends the entry. Nothing when it is on the disk; else why not. A line
// torn by an earlier crash is ended first, so it cannot hide this one.
std::optional<QString> appendToLog(const QString &path, const LogEntry &entry);
// Many entries in one write and one sync, in order.
std::optional<QString> appendToLog(const QString &path, const QList<LogEntry> &entries);

// Every complete entry, oldest first. A log that is not there yet has none;
// one that is there but cannot be read gives why in `error`.
QList<LogEntry> readLog(const QString &path, QString *error = nullptr);
