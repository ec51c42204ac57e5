#pragma once
// The .kvr settings file: twelve lines of Windows-1252 text with CR LF line
// ends. Eleven header lines are for a human reader; the last line, the data
// line, carries the settings as a type marker followed by 27 key/value pairs
// run together. The reader looks at that last line only.
//
// The format is a contract with files saved by earlier copies of the tool and
// with the sibling products' tools, so the reader keeps their rules exactly:
// first occurrences, 1-based positions that must stay within a signed 16-bit
// range, three-character codes, the scroll time running to the end of the line.

#include "settings/modulesettings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <optional>

// --- What the file's header and the printed report share ------------------

// "12 november 2006 | 14:05:09": day, month name (with its own spaces),
// year, separator and time, as the file and the printed report show them.
QString savedMomentText(const QString &monthName, const QDateTime &moment);

// The firmware line's text while no module was read.
inline const QString kFirmwareNotReadText = QStringLiteral("0.00 (de data is niet vanuit een KVR ingelezen)");

// The receiver and its board: "FLEX (RXM4F)", "POCSAG (RXM4P) " (with its space).
inline QString receiverBoardText(ReceiverType type)
{
    return type == ReceiverType::Flex ? QStringLiteral("FLEX (RXM4F)") : QStringLiteral("POCSAG (RXM4P) ");
}

// --- The file -------------------------------------------------------------------

// The whole file for `settings`: the twelve lines, each ending in CR LF.
// `path` is shown in the header exactly as the save dialog returned it.
QByteArray settingsFileBytes(const ModuleSettings &settings, const QString &programVersion,
                             const QString &monthName, const QDateTime &savedAt,
                             const QString &path);

// Why a file could not be read or written, for the command line (English)
// and for the window's details (Dutch). A reason the system gave reads the
// same in both.
struct FileReason {
    QString english;
    QString dutch;

    static FileReason system(const QString &text) { return {text, text}; }
};

struct SaveOutcome {
    bool saved = false;
    // Not saved because of the settings themselves (unsaveableSettings),
    // not because of the disk or the folder.
    bool refused = false;
    FileReason reason;   // when not saved

    explicit operator bool() const { return saved; }
};

// Why `settings` cannot be saved so that the file reads back the same: a
// text that breaks the text rule, or one that holds a key of the data line
// (which would move the keys after it). Nothing when it can.
std::optional<FileReason> unsaveableSettings(const ModuleSettings &settings);

// Writes the file atomically: either the whole new file is in place, or a
// file that was there before keeps its old content and nothing partial is
// left behind (a device is written directly). Settings that would not read
// back as they are are refused before anything is written.
SaveOutcome writeSettingsFile(const QString &path, const ModuleSettings &settings,
                              const QString &programVersion, const QString &monthName,
                              const QDateTime &savedAt);
// As this program saves at `savedAt`: its own version, that moment's month.
SaveOutcome writeSettingsFile(const QString &path, const ModuleSettings &settings, const QDateTime &savedAt);

enum class SiblingProduct { KSQ7314, KDW7314 };

struct SettingsFileOutcome {
    enum Kind { Loaded, WrongProduct, Failed } kind = Failed;
    SettingsUpdate update;                              // Loaded: receiver type and every value
    SiblingProduct product = SiblingProduct::KSQ7314;   // WrongProduct: whose marker was found
    FileReason reason;                                  // Failed: why
};

// A real settings file is under 2 KB; anything near this is not one.
inline constexpr qint64 kMaxSettingsFileSize = 1024 * 1024;

// The line the reader decodes: the last line of the file. A line ends at
// CR, at LF, or at CR LF (one line end): a file whose line ends an editor
// or a mail program turned into LF reads the same. An empty file, or one
// that ends in an empty line, gives an empty last line.
QByteArrayView lastLine(QByteArrayView bytes);

// Decodes a whole file's bytes. Nothing is applied here: a loaded outcome
// carries every value, so the caller changes the window only when the whole
// file decoded. The update carries the receiver type, never the firmware
// version; codes are the three characters found, known or not. A text that
// breaks the text rule fails the whole file.
SettingsFileOutcome decodeSettingsFile(QByteArrayView bytes);

// Reads and decodes the file at `path`. A file that cannot be read, that is
// not a regular file (a device, a pipe) or that is larger than
// kMaxSettingsFileSize fails without being read.
SettingsFileOutcome readSettingsFile(const QString &path);
