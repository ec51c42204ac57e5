#pragma once
// What the module link tells the user: the window shows these in its
// message boxes, the command-line companion prints them. Lines are joined
// by CR alone; every space counts.

#include "link/portlist.h"
#include "settings/modulesettings.h"

#include <QString>

inline const QString kCommunicationErrorTitle = QStringLiteral("Communicatiefout!");

// The port the window's box names ("COM 3") could not be opened.
inline QString openFailureText(const QString &portName)
{
    return QStringLiteral("Er is een fout opgetreden bij openen van de compoort !\r"
                          "Mogelijk wordt de compoort door een ander programma\r"
                          "gebruikt, of is de ingestelde compoort niet aanwezig.\r"
                          "\r"
                          "De ingestelde compoort = ")
        + portName
        + QStringLiteral("\r"
                         "\r"
                         "Start het programma opnieuw op en selecteer een andere com-poort.\r"
                         " ");
}

// A write or read on the opened port failed (adapter pulled, line gone).
inline const QString kWriteFailureText = QStringLiteral(
    "Er is een fout opgetreden bij het schrijven naar de KVR7314 !\r"
    "Controleer de verbinding en programmeer de KVR7314 opnieuw.");

// The same during a read-back: nothing was changed, the read can be repeated.
inline const QString kReadPortFailureText = QStringLiteral(
    "Er is een fout opgetreden bij het lezen van de KVR7314 !\r"
    "Controleer de verbinding en druk nogmaals op de knop lezen.");

inline const QString kProgrammedText = QStringLiteral("De KVR7314 is geprogrammeerd.\r\r");

// "schrijven" refused before the first frame; a line that names the field follows.
inline const QString kNotProgrammedText = QStringLiteral("De KVR7314 is niet geprogrammeerd: er is niets verstuurd.");
// After that line when the field is an alias the POCSAG layout hides.
inline QString hiddenInPocsagLayoutText(const QString &alias)
{
    return QStringLiteral("%1 staat alleen in de FLEX-indeling: kies FLEX om de tekst aan te passen.").arg(alias);
}

// A typed code that is no capcode or RI-code: nothing is sent.
inline QString notATestCallCodeText(const QString &code)
{
    return QStringLiteral("Er is geen testoproep verstuurd: \"%1\" is geen capcode of RI-code.\r"
                          "De KVR7314 neemt een testoproep aan voor capcode 1 t/m %2 (FLEX) of RI-code 1D t/m %3D (POCSAG).")
        .arg(code)
        .arg(kAliasCount)
        .arg(kPocsagAliasCount);
}
