#include "files/filemessages.h"

#include <QStringList>

namespace {

const QString kLineJoin = QStringLiteral("\r\n");

} // namespace

QString wrongProductText(SiblingProduct product)
{
    const QString name = product == SiblingProduct::KSQ7314 ? QStringLiteral("KSQ7314") : QStringLiteral("KDW7314");
    const QString empty(60, QLatin1Char(' '));
    return QStringList{
        QStringLiteral("         Bestand is niet geschikt voor de KVR7314           "),
        empty,
        QStringLiteral("   Het bestand dat u probeert te laden is voor de ") + name + QStringLiteral(".  "),
        QStringLiteral("Gebruik voor dit programma bestanden met de extensie *.KVR  "),
        empty,
    }.join(kLineJoin);
}

QString nothingLoadedText()
{
    const QString empty(59, QLatin1Char(' '));
    return QStringList{
        QStringLiteral("                     Er is geen bestand geladen            "),
        empty,
        QStringLiteral("   Mogelijk probeert u een verkeerd bestandtype te laden.  "),
        QStringLiteral("Gebruik voor dit programma bestanden met de extensie *.KVR "),
        empty,
    }.join(kLineJoin);
}
