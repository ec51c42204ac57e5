#pragma once
// Alias lists as technicians keep them: a spreadsheet with the capcode or
// RI-code number in one column and the alias in the next, saved as CSV.
// The reader takes what Dutch spreadsheets write: semicolons, or commas or
// tabs when the file uses those; UTF-8 with or without a byte order mark,
// or Windows-1252; quoted fields; an optional header row. The writer makes
// UTF-8 with a byte order mark and semicolons, which a spreadsheet opens
// as it is.

#include "files/settingsfile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

struct AliasRow {
    int line = 0;     // in the file, counted from 1
    int number = 0;   // which alias: 1..16
    QString text;

    bool operator==(const AliasRow &) const = default;
};

struct AliasListRead {
    QList<AliasRow> rows;
    std::optional<FileReason> failure;   // the first bad row and why: nothing is taken then
};

// Every row is checked: a number from 1 to 16, given once, and a text the
// text rule allows within the 25 characters of an alias box.
AliasListRead readAliasList(QByteArrayView bytes);

// The file's aliases with the list's rows in their places; the aliases the
// list does not name stay as they are.
ModuleSettings withAliases(ModuleSettings settings, const QList<AliasRow> &rows);

// "nummer;alias", then one row per alias, 1 to 16.
QByteArray aliasListBytes(const ModuleSettings &settings);

// Why `text` cannot be an alias (a character the text rule refuses, or more
// than the box takes), in the terms of `where` ("row 3", "regel 3").
std::optional<FileReason> aliasTextProblem(const QString &text, const QString &whereEnglish,
                                           const QString &whereDutch);
