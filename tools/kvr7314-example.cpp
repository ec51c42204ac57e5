// Writes the sample files of the repository with the tool's own writer and
// report printer, so they always match what the program produces:
//
//   kvr7314-example flex   FILE    a FLEX settings file
//   kvr7314-example pocsag FILE    a POCSAG settings file
//   kvr7314-example report PDF     the FLEX settings as a printed report
//
// The date and time are the moment of running, as when a user saves.

#include "files/report.h"
#include "files/settingsfile.h"

#include <QGuiApplication>

#include <cstdio>

namespace {

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

int usage()
{
    std::fprintf(stderr, "usage: kvr7314-example flex|pocsag FILE | report PDF\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return usage();
    const QString &kind = args[1];
    const QString &path = args[2];
    const QDateTime now = QDateTime::currentDateTime();
    const QString month = dutchMonthName(now.date().month());

    if (kind == u"flex" || kind == u"pocsag") {
        const ModuleSettings settings = kind == u"flex" ? flexExample() : pocsagExample();
        if (const SaveOutcome saved = writeSettingsFile(path, settings, kProgramVersion, month, now); !saved) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(saved.reason.english));
            return 1;
        }
        return 0;
    }
    if (kind == u"report") {
        const auto failure = printReportToPdf(path, reportLines(flexExample(), kProgramVersion, month, now));
        if (failure) {
            std::fprintf(stderr, "%s\n", qPrintable(printFailureText(*failure)));
            return 1;
        }
        return 0;
    }
    return usage();
}
