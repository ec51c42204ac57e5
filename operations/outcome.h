#pragma once
// How an operation ended, in the words of each front end: the window's
// message box (Dutch, as the module's own tool words it), the command
// line's last line (English, one line) and the exit code. The window shows
// the box, kvr7314-cli prints the line; neither words an outcome itself.

#include "files/settingsfile.h"
#include "operations/exitcode.h"
#include "readback/dumpcomparison.h"
#include "settings/modulesettings.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

enum class BoxIcon { None, Information, Error };

// The title of every message box that has none of its own.
inline const QString kDefaultBoxTitle = QStringLiteral("KVR7314");

// A modal box with one OK button. `details` is what its "Details" button
// shows: the cause behind the box's own words, and what to do.
struct OutcomeBox {
    QString title;
    BoxIcon icon = BoxIcon::None;
    QString text;
    QString details;
};

struct OperationOutcome {
    enum class Kind {
        Done,
        Refused,      // checked before anything was sent or written
        CannotOpen,   // the port could not be opened
        LineFailed,   // the opened port failed on the way
        NoData,       // the module did not answer the read request
        Rejected,     // its answer could not be read as settings
        FileFailed,   // a file could not be written
        Differs,      // the module holds other values than were written
        Stopped,      // a stop signal ended it
    };
    Kind kind = Kind::Done;
    ExitCode exit = ExitCode::Ok;
    // The last line: on standard output when done, after the program's name
    // on standard error otherwise. Empty: nothing more to say.
    QString line;
    // What the window shows at the end; nothing: no box.
    std::optional<OutcomeBox> box;
    // What could not be kept of it (its log line, a backup), with why.
    QList<FileReason> problems;

    int stepsSent = 0;                         // a write: how many steps went out
    QString backup;                            // the backup its log line names, if it left one
    std::optional<ModuleSettings> settings;    // the settings read, or opened
    // A verify or a check: the fields in which the module differs from
    // the settings file, with the file's value as the file holds it.
    QList<FieldDifference> differences;
    QByteArray data;                           // for standard output: a read's settings file

    bool ok() const { return kind == Kind::Done; }
};

// "text" in double quotes, as messages show a value.
inline QString quoted(const QString &text) { return u'"' + text + u'"'; }

// What stops an operation from outside (Ctrl-C, SIGTERM): its name for the
// messages and the log ("Ctrl-C (SIGINT)"), and the code it ends with.
struct StopCause {
    QString name;
    ExitCode exit = ExitCode::Interrupted;
};
