#pragma once
// Test data several tests build the same way: settings filled in by group,
// the example file's data line, files on disk and the text of a PDF.

#include "settings/modulesettings.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>

Q_DECLARE_METATYPE(ModuleSettings)

// The data line of a saved FLEX file: alias 1 "Kazerne", coupling text "++",
// idle text "RUST", the standard colours, speed 5 and the standard times.
extern const QByteArray kExampleLine;

// Alias n (1..16) becomes `pattern` with %1 replaced by n.
void setAliases(ModuleSettings &s, const QString &pattern);
// The colour and speed codes: alias colour, coupling text colour, message
// colour, scroll speed.
void setCodes(ModuleSettings &s, const QString &alias, const QString &coupling, const QString &message,
              const QString &speed);
// The five timers, in the order the module and the file carry them.
inline QString ModuleSettings::*const kTimers[] = {&ModuleSettings::relayTime, &ModuleSettings::signClearTime,
                                                   &ModuleSettings::lcdClearTime, &ModuleSettings::backlightTime,
                                                   &ModuleSettings::scrollTime};
// The five timer texts, in that order.
void setTimers(ModuleSettings &s, const QStringList &texts);

// A sample file in the repository's examples/ folder.
QString examplePath(const QString &name);

// Writes `bytes` as the whole file (a failed write fails the test).
void writeFile(const QString &path, const QByteArray &bytes);
// The whole file, or "<unreadable>".
QByteArray readFile(const QString &path);

// The text of a PDF, laid out as on the page (form feeds between pages),
// each line's runs of spaces made single and ligatures ("fi") taken apart:
// spacing and glyphs are the font's business.
QString pdfText(const QString &pdf);
