#pragma once
// The printed report: the settings that the window shows, laid out for
// people. The lines are built as plain values; printing only draws them.

#include "settings/modulesettings.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class QPrinter;

struct ReportLine {
    QString text;     // printed as is, leading spaces included
    int pointSize;
    bool bold;

    bool operator==(const ReportLine &) const = default;
};

inline constexpr int kReportTitlePointSize = 18;
inline constexpr int kReportBodyPointSize = 10;

// Every line of the report, in print order: a title block in large bold
// type, then the date, versions, aliases (8 to 16 only for FLEX), texts,
// colours and speed as words, and the timers.
QList<ReportLine> reportLines(const ModuleSettings &settings, const QString &programVersion,
                              const QString &monthName, const QDateTime &printedAt);

struct PrintFailure {
    int number;
    QString description;
};

// Draws the lines one under the other in the printer's default font face,
// starting a new page when one is full. Nothing on success; what Qt
// reports otherwise.
std::optional<PrintFailure> printReport(QPrinter &printer, const QList<ReportLine> &lines);

// A PDF is complete when it starts with its header and ends with its
// trailer; anything cut short lacks the "%%EOF" at its end.
bool isCompletePdf(const QByteArray &pdf);

// The same report as a PDF file (A4, printer resolution), made whole in
// memory and checked before it replaces `path` atomically: on any failure
// an old file keeps its content. A device (/dev/stdout) is written directly.
inline constexpr int kReportDotsPerInch = 1200;
std::optional<PrintFailure> printReportToPdf(const QString &path, const QList<ReportLine> &lines);

// "Unexpected error. Err 482 : ..." (the one English message of the tool).
QString printFailureText(const PrintFailure &failure);
