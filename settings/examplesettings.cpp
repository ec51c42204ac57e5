#include "settings/examplesettings.h"

ModuleSettings flexExample()
{
    ModuleSettings s = withStandardValues(startupSettings());
    s.receiverType = ReceiverType::Flex;
    const char *aliases[kAliasCount] = {
        "Brandweer Zuid", "Brandweer Noord", "Ambulance post 12", "Officier van dienst",
        "Duikteam", "Hoogwerker", "Tankautospuit 1", "Tankautospuit 2",
        "Redvoertuig", "Waterongevallen", "Gevaarlijke stoffen", "Verbindingen",
        "Commandant", "Bevelvoerder", "Oefening", "Proefalarm"};
    for (int i = 0; i < kAliasCount; ++i)
        s.aliases[i] = QString::fromLatin1(aliases[i]);
    s.aliasColour = QStringLiteral("183");
    s.couplingColour = QStringLiteral("176");
    s.messageColour = QStringLiteral("181");
    s.scrollSpeed = QStringLiteral("193");
    return s;
}

ModuleSettings pocsagExample()
{
    ModuleSettings s = startupSettings();
    s.receiverType = ReceiverType::Pocsag;
    const char *aliases[kPocsagAliasCount] = {
        "Storing gemaal", "Alarm hoofdgebouw", "Brandmelding hal B", "Lift noodoproep",
        "Koelcel temperatuur", "Inbraak magazijn", "Test RIC 7"};
    for (int i = 0; i < kPocsagAliasCount; ++i)
        s.aliases[i] = QString::fromLatin1(aliases[i]);
    s.couplingText = QStringLiteral(" - ");
    s.idleText = QStringLiteral("Technische dienst");
    s.aliasColour = QStringLiteral("176");
    s.couplingColour = QStringLiteral("181");
    s.messageColour = QStringLiteral("183");
    s.scrollSpeed = QStringLiteral("192");
    s.relayTime = QStringLiteral("5");
    s.signClearTime = QStringLiteral("120");
    s.lcdClearTime = QStringLiteral("300");
    s.backlightTime = QStringLiteral("60");
    s.scrollTime = QStringLiteral("350");
    return s;
}
