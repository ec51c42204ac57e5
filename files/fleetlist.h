#pragma once
// A fleet list: the modules of a region, one row each, as a spreadsheet
// saves it (the reader of the alias lists: semicolons, commas or tabs;
// UTF-8 with or without a byte order mark, or Windows-1252):
//
//   naam;poort;bestand;ontvanger
//   Kazerne Noord;rfc2217://ser2net.regio:4001;noord.kvr;FLEX
//
// the module's name, its port address, its settings file (for a write,
// relative to the list's folder) and, optionally, the receiver type a read
// writes into its file. The header row is optional; without one the
// columns come in this order. Here the rows are read as text; whether a
// port and a file make sense is for the fleet to find out.

#include "files/settingsfile.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

struct FleetRow {
    int line = 0;                            // in the file, counted from 1
    QString name;
    QString port;                            // as given
    QString file;                            // as given; may be empty
    std::optional<ReceiverType> receiver;    // nothing: not given

    bool operator==(const FleetRow &) const = default;
};

struct FleetListRead {
    QList<FleetRow> rows;
    std::optional<FileReason> failure;   // the first bad row and why: nothing is taken then
};

// The columns of a fleet list, as its header row names them.
inline const QString kFleetNameColumn = QStringLiteral("naam");
inline const QString kFleetPortColumn = QStringLiteral("poort");
inline const QString kFleetFileColumn = QStringLiteral("bestand");
inline const QString kFleetReceiverColumn = QStringLiteral("ontvanger");

// Every row is checked: a name and a port, a receiver type FLEX or POCSAG
// when one is given, no more fields than columns, and no name twice (in
// any case, or as the file-safe name its backups and files get).
FleetListRead readFleetList(QByteArrayView bytes);

// "row 3: ..." in English and "regel 3: ..." in Dutch.
FileReason fleetRowFault(int line, const QString &english, const QString &dutch);
