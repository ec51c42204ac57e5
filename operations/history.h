#pragma once
// The log of operations as a technician asks for it: the operations on one
// port or one fleet module, or since a date, newest first, and the table
// `kvr7314-cli history` prints of them. The fleet window shows the same
// lines for the module selected.

#include "files/operationlog.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

struct HistoryFilter {
    // Its device, the device's short name ("ttyUSB0"), the adapter's serial
    // number, or COMn for the device that box leads to now; empty: all.
    QString port;
    QString module;    // a fleet module's name, in any case; empty: all
    QDateTime since;   // invalid: all
};

// The entries of `log` (oldest first, as the log keeps them) that pass
// `filter`, newest first by when they started.
QList<LogEntry> historyEntries(QList<LogEntry> log, const HistoryFilter &filter);

// A header and a line per entry (time, operation, port, outcome, backup),
// with a line under it for a partial write or a cause.
QStringList historyTable(const QList<LogEntry> &entries);

// Whether `subject`, a backup's, is a fleet module's by the name `module`
// (as its file-safe name) or any when `module` is empty.
bool ofModule(const QString &subject, const QString &module);
