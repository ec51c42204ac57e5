#pragma once
// The texts that the save, open and print commands show: dialog filters and
// message boxes. The boxes are laid out with lines padded to a fixed width
// and joined by CR LF; every space counts.

#include "files/settingsfile.h"

#include <QString>

// "description|pattern|description|pattern"
inline const QString kSaveFilter = QStringLiteral("KVR 7314 databestand|*.kvr| Alle bestanden (*.*)|*.*");
inline const QString kOpenFilter = QStringLiteral("KVR 7314 bestand (*.KVR)|*.kvr | Alle bestanden (*.*)|*.*");
inline const QString kOpenInitialName = QStringLiteral("*.kvr");

inline const QString kSaveFailedText = QStringLiteral("Onverwachte fout. Er is geen bestand opgeslagen!");
// The command line's line for it: "FILE: Onverwachte fout. Er is geen bestand opgeslagen! (why)".
inline QString saveFailedLine(const QString &path, const QString &why)
{
    return path + QStringLiteral(": ") + kSaveFailedText + QStringLiteral(" (%1)").arg(why);
}

inline const QString kWrongProductTitle = QStringLiteral("Verkeerd bestandstype . . .");
inline const QString kNothingLoadedTitle = QStringLiteral("Er is geen bestand geladen . . .");

inline const QString kPrintCancelledText = QStringLiteral("de printopdracht is geannuleerd");

// An operation that ends without a box of its own, when its log line or
// backup could not be written (the reason goes under Details).
inline const QString kJournalProblemText =
    QStringLiteral("Het logboek of de reservekopie in de gegevensmap kon niet worden geschreven.");

// Five lines of 60 characters naming the product whose file it was.
QString wrongProductText(SiblingProduct product);

// Five lines of 59 characters.
QString nothingLoadedText();
