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

// The Dutch name of month 1..12 with a space on each side (" november "),
// as the file and the report put it between day and year; empty otherwise.
QString dutchMonthName(int month);

// "12 november 2006 | 14:05:09": day, month name (with its own spaces),
// year, separator and time, as the file and the printed report show them.
QString savedMomentText(const QString &monthName, const QDateTime &moment);

// The whole file for `settings`: the twelve lines, each ending in CR LF.
// `path` is shown in the header exactly as the save dialog returned it.
QByteArray settingsFileBytes(const ModuleSettings &settings, const QString &programVersion,
                             const QString &monthName, const QDateTime &savedAt,
                             const QString &path);

// Writes the file atomically: either the whole new file is in place, or a
// file that was there before keeps its old content and nothing partial is
// left behind. False when the file cannot be created or written.
bool writeSettingsFile(const QString &path, const ModuleSettings &settings,
                       const QString &programVersion, const QString &monthName,
                       const QDateTime &savedAt);

enum class SiblingProduct { KSQ7314, KDW7314 };

struct SettingsFileOutcome {
    enum Kind { Loaded, WrongProduct, Failed } kind = Failed;
    SettingsUpdate update;                              // Loaded: receiver type and every value
    SiblingProduct product = SiblingProduct::KSQ7314;   // WrongProduct: whose marker was found
};

// The line the reader decodes: the last line of the file. A line ends at CR;
// CR LF is one line end; a lone LF is an ordinary character. An empty file,
// or one that ends in an empty line, gives an empty last line.
QByteArrayView lastLine(QByteArrayView bytes);

// Decodes a whole file's bytes. Nothing is applied here: a loaded outcome
// carries every value, so the caller changes the window only when the whole
// file decoded. The update carries the receiver type, never the firmware
// version; codes are the three characters found, known or not.
SettingsFileOutcome decodeSettingsFile(QByteArrayView bytes);

// Reads and decodes the file at `path`; a file that cannot be read fails.
SettingsFileOutcome readSettingsFile(const QString &path);
