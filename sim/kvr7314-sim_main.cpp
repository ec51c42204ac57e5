// kvr7314-sim: a simulated KVR7314 on a pseudo-terminal. It prints the
// device to give the tool (point a COM port at it) and logs every frame it
// takes until it is stopped with Ctrl-C or SIGTERM.

#include "settings/codec.h"
#include "sim/ptyhost.h"
#include "sim/stopsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

// Control characters and bytes above 0x7E as '.', the rest as they are.
QString printable(const QByteArray &bytes)
{
    QString text = cp1252::decode(bytes);
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || (c.unicode() >= 0x80 && c.unicode() < 0xA0))
            c = u'.';
    }
    return text;
}

void logFrame(const ReceivedFrame &frame)
{
    std::printf("%9.3f s  (%s)  %s  \"%s\"\n", frame.receivedAtMs / 1000.0,
                qPrintable(frame.code), frame.content.toHex(' ').toUpper().constData(),
                printable(frame.content).toLocal8Bit().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvr7314-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated KVR7314 module on a pseudo-terminal. Point the tool's COM port at the "
        "printed device; every frame the module takes is logged."));
    parser.addHelpOption();
    const QCommandLineOption delay(QStringLiteral("answer-delay"),
                                   QStringLiteral("Milliseconds before the dump's first byte (20)."),
                                   QStringLiteral("MS"), QStringLiteral("20"));
    const QCommandLineOption silent(QStringLiteral("no-answer"),
                                    QStringLiteral("Never answer the read request."));
    const QCommandLineOption cut(QStringLiteral("cut-after"),
                                 QStringLiteral("Send only the first N characters of the dump."),
                                 QStringLiteral("N"));
    const QCommandLineOption garbage(QStringLiteral("garbage"),
                                     QStringLiteral("Send TEXT in front of the dump."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Firmware version the module reports (1.30)."),
                                     QStringLiteral("V"), QStringLiteral("1.30"));
    parser.addOptions({delay, silent, cut, garbage, version});
    parser.process(app);

    PtyHost host;
    ModuleBehaviour &behaviour = host.module().behaviour;
    bool ok = true;
    behaviour.answerDelayMs = parser.value(delay).toInt(&ok);
    if (!ok || behaviour.answerDelayMs < 0) {
        std::fprintf(stderr, "kvr7314-sim: --answer-delay needs a number of milliseconds\n");
        return 2;
    }
    behaviour.answers = !parser.isSet(silent);
    if (parser.isSet(cut)) {
        behaviour.cutAfter = parser.value(cut).toInt(&ok);
        if (!ok || behaviour.cutAfter < 0) {
            std::fprintf(stderr, "kvr7314-sim: --cut-after needs a number of characters\n");
            return 2;
        }
    }
    behaviour.garbage = cp1252::encode(parser.value(garbage));
    behaviour.firmwareVersion = parser.value(version);

    if (!host.open()) {
        std::fprintf(stderr, "kvr7314-sim: no pseudo-terminal: %s\n", qPrintable(host.errorString()));
        return 1;
    }
    QObject::connect(&host, &PtyHost::frameReceived, &app, logFrame);
    quitOnStopSignals(app);

    std::printf("KVR7314 simulated on %s (firmware %s)\n", qPrintable(host.devicePath()),
                qPrintable(behaviour.firmwareVersion));
    std::fflush(stdout);
    return app.exec();
}
