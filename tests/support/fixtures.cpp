#include "support/fixtures.h"

#include <QFile>
#include <QProcess>
#include <QTest>

const QByteArray kExampleLine =
    "kvrFlxDataALIAS01:KazerneALIAS02:ALIAS03:ALIAS04:ALIAS05:ALIAS06:ALIAS07:ALIAS08:ALIAS09:"
    "ALIAS10:ALIAS11:ALIAS12:ALIAS13:ALIAS14:ALIAS15:ALIAS16:KOPPELTEKST:++TEKST_LCDRUST:RUST"
    "KLEUR_ALIAS:183KLEUR_KOPPELTEKST:176KLEUR_BERICHT:183SNELHEID:192TIJD_RELAIS:10TIJD_WISLK:30"
    "TIJD_WISLCD:60TIJD_BACKLIGHT:9999TIJD_SCROLLENLCD:350";

void setAliases(ModuleSettings &s, const QString &pattern)
{
    for (int i = 0; i < kAliasCount; ++i)
        s.aliases[i] = pattern.arg(i + 1);
}

void setCodes(ModuleSettings &s, const QString &alias, const QString &coupling, const QString &message,
              const QString &speed)
{
    s.aliasColour = alias;
    s.couplingColour = coupling;
    s.messageColour = message;
    s.scrollSpeed = speed;
}

void setTimers(ModuleSettings &s, const QStringList &texts)
{
    Q_ASSERT(texts.size() == qsizetype(std::size(kTimers)));
    for (size_t i = 0; i < std::size(kTimers); ++i)
        s.*kTimers[i] = texts[qsizetype(i)];
}

QString examplePath(const QString &name)
{
    return qEnvironmentVariable("KVR_SOURCE_DIR") + QStringLiteral("/examples/") + name;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return QStringLiteral("<pdftotext failed: %1>").arg(QString::fromLocal8Bit(p.readAllStandardError()));
    QStringList lines = QString::fromUtf8(p.readAllStandardOutput())
                            .normalized(QString::NormalizationForm_KC)
                            .split(QLatin1Char('\n'));
    for (QString &line : lines) {
        const bool pageBreak = line.startsWith(QLatin1Char('\f'));
        line = (pageBreak ? QStringLiteral("\f") : QString()) + line.simplified();
    }
    return lines.join(QLatin1Char('\n'));
}
