#pragma once
// Lists that technicians keep in a spreadsheet and save as CSV (alias
// lists, fleet lists), read the way Dutch spreadsheets write them:
// semicolons, or commas or tabs when the file uses those; UTF-8 with or
// without a byte order mark, or Windows-1252; fields in double quotes.
// Which rows make sense is each list's own business.

#include "files/settingsfile.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

struct SpreadsheetRow {
    int line = 0;         // in the file, counted from 1
    QStringList fields;
};

// The byte order mark a spreadsheet recognises UTF-8 by.
inline constexpr QByteArrayView kUtf8Mark = "\xEF\xBB\xBF";

// The non-empty rows of a list, split at the separator that makes the
// most of its first rows `fits` (semicolons when none does better).
QList<SpreadsheetRow> readSpreadsheet(QByteArrayView bytes,
                                      const std::function<bool(const QStringList &fields)> &fits);

// A list is taken whole or not at all: a bad row takes no row with it, and
// a list without rows is refused as `empty` says.
template <typename ListRead>
ListRead takenWhole(ListRead read, const FileReason &empty)
{
    if (!read.failure && read.rows.isEmpty())
        read.failure = empty;
    if (read.failure)
        read.rows.clear();
    return read;
}

// A field as a spreadsheet reads it back whole, in a list of semicolons.
QString csvField(const QString &text);

// Rows as a spreadsheet opens them as they are: UTF-8 with a byte order
// mark, semicolons, every field as csvField() gives it, CR LF line ends.
QByteArray spreadsheetBytes(const QList<QStringList> &rows);
