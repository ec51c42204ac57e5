#pragma once
// The summary of a fleet as the window shows it, kept for the file: a list
// a spreadsheet opens as it is (as the alias lists are written), and a
// one-page PDF report with the list, the date and every module's outcome.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

struct FleetReportRow {
    QString name;
    QString port;
    QString file;
    QString firmware;
    QString outcome;
    QString cause;
};

// "naam;poort;bestand;firmware;uitkomst;oorzaak", then a row per module.
QByteArray summarySpreadsheet(const QList<FleetReportRow> &rows);

// The report as PDF bytes: the list's name, the date, a line per module.
// However many modules, it stays one page: the text gets smaller. Empty
// when the PDF could not be made whole.
QByteArray summaryPdf(const QString &list, const QDateTime &when, const QList<FleetReportRow> &rows);
