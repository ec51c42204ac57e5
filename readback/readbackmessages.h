#pragma once
// What a read-back run tells the user at its end: the window shows these in
// its message boxes, the command-line companion prints them. Lines are
// joined by CR alone; every space counts.

#include <QString>

inline const QString kReadDoneTitle = QStringLiteral("KVR7314");
inline const QString kReadDoneText = QStringLiteral("De data uit de KVR7314 is ingelezen.\r\r\r");

inline const QString kReadFailedTitle = QStringLiteral("Foutmelding bij inlezen data");
inline const QString kNoDataText = QStringLiteral(
    "              FOUTMELDING: Geen data kunnen lezen van de KVR7314.\r"
    "\r"
    "1 - controleer of de KVR7314 is aangesloten op de 9 polige connector\r"
    "2 - controleer of de jumper naast het relais in de onderste stand staat\r"
    "3 - controleer of de RUN-LED op de KVR7314 knippert\r"
    "4 - controleer of de DATA-LED op de KVR7314 even oplicht als op de knop lezen wordt gedrukt\r"
    "\r");
// A reply that came but could not be cut into settings: nothing was changed.
inline const QString kFaultyDataText = QStringLiteral(
    "              FOUTMELDING: De data uit de KVR7314 is onvolledig of onleesbaar.\r"
    "\r"
    "Er is niets gewijzigd. Druk nogmaals op de knop lezen.\r"
    "\r");
