// kvr7314-fleet: every module of a region at a glance, in a window. See
// `kvr7314-fleet --help`.

#include "app/applicationlook.h"
#include "app/qtprompts.h"
#include "fleetwindow/fleetdemo.h"
#include "fleetwindow/fleettablemodel.h"
#include "fleetwindow/fleetwindow.h"
#include "fleetwindow/qtfleetquestions.h"
#include "link/networkport.h"
#include "settings/modulesettings.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

const char *const kHelp =
    "Usage: kvr7314-fleet [LIST.csv | --demo] [--picture FILE]\n"
    "\n"
    "Every module of a fleet list at a glance, one row each, live while it runs:\n"
    "checked against its settings file (Controleren), only those that differ\n"
    "written and verified (Bijwerken), every one written (Schrijven), read into a\n"
    "folder (Lezen), found (Zoeken), put back to what it held before the last\n"
    "write (Terugzetten). LIST.csv is a fleet list as kvr7314-cli fleet reads it:\n"
    "naam;poort;bestand, the port as --port takes it. Each button acts on the\n"
    "rows selected, or on all. Anything that writes asks first. The summary is\n"
    "kept as a spreadsheet's list or a one-page PDF report.\n"
    "\n"
    "  --demo           a demonstration list of simulated modules inside the\n"
    "                   program (most hold their file, one differs, one is\n"
    "                   silent), so every button works without a module; its\n"
    "                   log and backups go to the demo/ sub-folder of the data\n"
    "                   folder\n"
    "  --picture FILE   with --demo: run Controleren offscreen, save the window\n"
    "                   as FILE (PNG), and exit 0 when the check found what the\n"
    "                   demonstration holds\n"
    "  -h, --help       this text\n"
    "  -v, --version    the program's version\n"
    "\n"
    "The TLS files for the modules behind rfc2217+tls:// and tcp+tls:// come\n"
    "from KVR7314_TLS_CA, KVR7314_TLS_CERT and KVR7314_TLS_KEY.\n";

// --picture: the demonstration checked, as the README shows it.
int savePicture(FleetWindow &window, const QString &path)
{
    window.resize(1100, 560);
    window.show();
    window.check();
    QObject::connect(&window, &FleetWindow::runEnded, &window, [] { QCoreApplication::exit(0); });
    QTimer::singleShot(60000, &window, [] { QCoreApplication::exit(1); });
    if (QApplication::exec() != 0) {
        std::fprintf(stderr, "kvr7314-fleet: the check did not end within a minute\n");
        return 1;
    }
    // The module that differs selected, so what the check found shows below.
    if (auto *table = window.findChild<QTableView *>(QStringLiteral("tblModules")))
        table->selectionModel()->setCurrentIndex(table->model()->index(2, 0), QItemSelectionModel::NoUpdate);
    // What the demonstration holds: one module differs, one is silent.
    QStringList outcomes;
    for (int row = 0; row < window.model()->rowCount(); ++row)
        outcomes.append(window.model()->index(row, FleetTableModel::Outcome).data().toString());
    const QStringList expected{"in orde", "in orde", "wijkt af", "in orde", "in orde", "mislukt"};
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "kvr7314-fleet: cannot write %s\n", qPrintable(path));
        return 1;
    }
    if (outcomes != expected) {
        std::fprintf(stderr, "kvr7314-fleet: the check found %s\n", qPrintable(outcomes.join(QStringLiteral(", "))));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef Q_OS_WIN
    // A window program on Windows has no console of its own: write into the
    // one it was started from, if any.
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
#endif
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (arguments.contains(QStringLiteral("--version")) || arguments.contains(QStringLiteral("-v"))) {
        std::printf("kvr7314-fleet %s\n", qPrintable(kProgramVersion));
        return 0;
    }
    // A picture is taken without a screen: decided before the application
    // starts, for either spelling the parser takes.
    if (std::any_of(arguments.cbegin(), arguments.cend(), [](const QString &a) {
            return a == u"--picture" || a.startsWith(u"--picture=");
        }))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    applyApplicationLook(app);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("demo"), QString()});
    parser.addOption({QStringLiteral("picture"), QString(), QStringLiteral("FILE")});
    parser.addPositionalArgument(QStringLiteral("LIST.csv"), QString());
    const bool parsed = parser.parse(QApplication::arguments());
    const QStringList lists = parser.positionalArguments();
    const bool demo = parser.isSet(QStringLiteral("demo"));
    if (!parsed || lists.size() > 1 || (demo && !lists.isEmpty()) || (parser.isSet(QStringLiteral("picture")) && !demo)) {
        std::fprintf(stderr, "kvr7314-fleet: %s (see kvr7314-fleet --help)\n",
                     qPrintable(parsed ? QStringLiteral("give one LIST.csv, or --demo (with --picture FILE)")
                                       : parser.errorText()));
        return 2;
    }
    QString tlsError;
    const std::optional<TlsCredentials> tls = TlsCredentials::load(TlsFiles().withEnvironment(), &tlsError);
    if (!tls) {
        std::fprintf(stderr, "kvr7314-fleet: %s\n", qPrintable(tlsError));
        return 3;
    }

    QtPrompts prompts;
    QtFleetQuestions questions;
    SystemClock clock;
    std::unique_ptr<FleetDemo> simulated;
    FleetWindowServices services{&prompts, &questions, &clock, {}, {}, *tls};
    if (demo) {
        simulated = std::make_unique<FleetDemo>();
        if (!simulated->isValid()) {
            std::fprintf(stderr, "kvr7314-fleet: the demonstration list could not be made\n");
            return 1;
        }
        services.dataDirectory = FleetDemo::dataFolder();
        services.portsFor = simulated->ports();
    }
    FleetWindow window(services);
    window.setWindowIcon(applicationIcon());
    prompts.setDialogParent(&window);
    questions.setDialogParent(&window);
    const QString list = demo ? simulated->listPath() : lists.value(0);
    if (!list.isEmpty())
        window.openList(list);
    if (parser.isSet(QStringLiteral("picture")))
        return savePicture(window, parser.value(QStringLiteral("picture")));
    window.show();
    return QApplication::exec();
}
