#include "fleetwindow/fleetwindow.h"

#include "files/backups.h"
#include "files/operationlog.h"
#include "files/safefile.h"
#include "fleetwindow/fleetreport.h"
#include "fleetwindow/fleettablemodel.h"
#include "fleetwindow/fleetwords.h"
#include "link/portdirectory.h"
#include "operations/history.h"
#include "operations/outcome.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kWindowTitle = QStringLiteral("KVR7314 vloot");
const QString kOpenListFirst = QStringLiteral("Open eerst een lijst van modules.");

// The toestand column: a progress bar for a module that runs.
class ProgressDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const int progress = index.data(FleetTableModel::kProgressRole).toInt();
        if (progress < 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionProgressBar bar;
        bar.rect = option.rect.adjusted(1, 1, -1, -1);
        bar.minimum = 0;
        bar.maximum = 100;
        bar.progress = progress;
        bar.text = index.data().toString();
        bar.textVisible = true;
        bar.state = option.state | QStyle::State_Horizontal;
        QApplication::style()->drawControl(QStyle::CE_ProgressBar, &bar, painter);
    }
};

bool isListFile(const QUrl &url)
{
    return url.isLocalFile() && url.toLocalFile().endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}

// What a stop from the window is called in the log and the causes.
const StopCause kStopButton{QStringLiteral("the Stoppen button"), ExitCode::Interrupted};

} // namespace

FleetWindow::FleetWindow(FleetWindowServices services, QWidget *parent)
    : QWidget(parent),
      m_services(std::move(services)),
      m_dataDirectory(m_services.dataDirectory.isEmpty() ? dataDirectory() : m_services.dataDirectory),
      m_model(new FleetTableModel(this)),
      m_sorted(new QSortFilterProxyModel(this))
{
    setObjectName(QStringLiteral("frmKVR7314Vloot"));
    setWindowTitle(kWindowTitle);
    setAcceptDrops(true);
    m_sorted->setSourceModel(m_model);
    buildLayout();
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &from, const QModelIndex &to) {
        showSummary();
        // The text below the table is laid out anew only for its own row.
        const int current = m_sorted->mapToSource(m_table->currentIndex()).row();
        if (current >= from.row() && current <= to.row())
            showDetails();
    });
    setRunning(false);
}

FleetWindow::~FleetWindow()
{
    // A run still going stops here; its modules' ports close with it.
    if (m_run)
        m_run->disconnect(this);
}

QPushButton *FleetWindow::button(const QString &name, const QString &text, const QString &tip,
                                 void (FleetWindow::*action)())
{
    auto *b = new QPushButton(text, this);
    b->setObjectName(name);
    b->setAccessibleName(text);
    b->setToolTip(tip);
    // Enter presses the button that has the focus, as Space does.
    b->setAutoDefault(true);
    connect(b, &QPushButton::clicked, this, action);
    return b;
}

void FleetWindow::buildLayout()
{
    auto *layout = new QVBoxLayout(this);

    auto *top = new QHBoxLayout;
    QPushButton *open = button(QStringLiteral("CmdLijstOpenen"), QStringLiteral("Lijst openen..."),
                               QStringLiteral("Een lijst van modules openen (CSV: naam;poort;bestand)"),
                               &FleetWindow::askList);
    m_actions.append(open);
    top->addWidget(open);
    m_list = new QLabel(QStringLiteral("Geen lijst geopend: open er een, of sleep een .csv op dit venster."), this);
    m_list->setObjectName(QStringLiteral("lblLijst"));
    m_list->setAccessibleName(QStringLiteral("Lijst"));
    top->addWidget(m_list, 1);
    layout->addLayout(top);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("tblModules"));
    m_table->setAccessibleName(QStringLiteral("Modules"));
    m_table->setModel(m_sorted);
    m_table->setItemDelegateForColumn(FleetTableModel::State, new ProgressDelegate(m_table));
    // A click or Space selects a row, or takes it out of the selection.
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::MultiSelection);
    // Tab goes on to the buttons; the arrow keys move within the table.
    m_table->setTabKeyNavigation(false);
    m_table->verticalHeader()->hide();
    // One line a module; a long cause shows whole in its tooltip.
    m_table->setWordWrap(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    // In the list's order until a header is clicked.
    m_table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    m_table->setColumnWidth(FleetTableModel::Name, 150);
    m_table->setColumnWidth(FleetTableModel::Port, 190);
    m_table->setColumnWidth(FleetTableModel::File, 110);
    m_table->setColumnWidth(FleetTableModel::State, 190);
    m_table->setColumnWidth(FleetTableModel::Firmware, 70);
    m_table->setColumnWidth(FleetTableModel::Outcome, 80);
    layout->addWidget(m_table, 1);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &FleetWindow::showSelection);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentChanged, this, &FleetWindow::showDetails);

    m_selection = new QLabel(this);
    m_selection->setObjectName(QStringLiteral("lblSelectie"));
    m_selection->setAccessibleName(QStringLiteral("Selectie"));
    layout->addWidget(m_selection);

    auto *buttons = new QHBoxLayout;
    const struct {
        const char *name;
        const char *text;
        const char *tip;
        void (FleetWindow::*action)();
    } actions[] = {
        {"CmdControleren", "Controleren", "Lezen en vergelijken met het bestand; er wordt niets geschreven", &FleetWindow::check},
        {"CmdBijwerken", "Bijwerken", "Alleen de modules die afwijken schrijven, en controleren", &FleetWindow::update},
        {"CmdSchrijven", "Schrijven", "Elke module zijn bestand schrijven, en controleren", &FleetWindow::write},
        {"CmdLezen", "Lezen", "Elke module inlezen in een map naar keuze", &FleetWindow::read},
        {"CmdZoeken", "Zoeken", "Welke modules antwoorden, met hun firmware", &FleetWindow::find},
        {"CmdTerugzetten", "Terugzetten", "Terugzetten wat de module had voor het laatste schrijven", &FleetWindow::undo},
    };
    for (const auto &a : actions) {
        QPushButton *b = button(QLatin1String(a.name), QLatin1String(a.text), QString::fromUtf8(a.tip), a.action);
        m_actions.append(b);
        buttons->addWidget(b);
    }
    m_stop = button(QStringLiteral("CmdStoppen"), QStringLiteral("Stoppen"),
                    QStringLiteral("De modules die bezig zijn stoppen; de andere beginnen niet"), &FleetWindow::stopRun);
    buttons->addWidget(m_stop);
    QPushButton *again = button(QStringLiteral("CmdOpnieuw"), QStringLiteral("Opnieuw"),
                                QStringLiteral("De mislukte en gestopte modules opnieuw"), &FleetWindow::retry);
    m_actions.append(again);
    buttons->addWidget(again);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("lblSamenvatting"));
    m_summary->setAccessibleName(QStringLiteral("Samenvatting"));
    QFont bold = m_summary->font();
    bold.setBold(true);
    m_summary->setFont(bold);
    layout->addWidget(m_summary);

    m_details = new QPlainTextEdit(this);
    m_details->setObjectName(QStringLiteral("txtBevindingen"));
    m_details->setAccessibleName(QStringLiteral("Bevindingen en logboek"));
    m_details->setReadOnly(true);
    m_details->setTabChangesFocus(true);
    m_details->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_details->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_details->setMaximumHeight(m_details->fontMetrics().lineSpacing() * 11);
    layout->addWidget(m_details);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(button(QStringLiteral("CmdSamenvattingOpslaan"), QStringLiteral("Samenvatting opslaan..."),
                             QStringLiteral("De tabel opslaan als lijst voor een spreadsheet (CSV)"),
                             &FleetWindow::saveSummary));
    bottom->addWidget(button(QStringLiteral("CmdRapportOpslaan"), QStringLiteral("Rapport opslaan..."),
                             QStringLiteral("De tabel opslaan als rapport van één bladzijde (PDF)"),
                             &FleetWindow::saveReport));
    bottom->addStretch(1);
    QPushButton *close = new QPushButton(QStringLiteral("Afsluiten"), this);
    close->setObjectName(QStringLiteral("CmdAfsluiten"));
    close->setAccessibleName(close->text());
    close->setAutoDefault(true);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    resize(1100, 640);
    showSelection();
}

// --- the list ------------------------------------------------------------------------------

void FleetWindow::askList()
{
    if (!idle())
        return;
    FileDialogSetup setup;
    setup.filter = QStringLiteral("Lijst van modules (*.csv)|*.csv|Alle bestanden (*.*)|*");
    setup.mustExist = true;
    if (const std::optional<QString> path = m_services.prompts->askOpenFile(setup))
        openList(*path);
}

bool FleetWindow::openList(const QString &path)
{
    if (!idle())
        return false;
    // As a check plans it: the rows, their ports and their files.
    PortDirectory::machine().refresh();
    const FleetPlan plan = planFleet(path, FleetAction::Plan, {});
    if (plan.failure) {
        tell(QStringLiteral("Deze lijst kan niet worden gebruikt; er is niets veranderd."), plan.failure->dutch);
        return false;
    }
    m_listPath = QFileInfo(path).absoluteFilePath();
    if (m_run) {
        m_run->deleteLater();
        m_run = nullptr;
    }
    m_model->setModules(plan.modules);
    m_table->clearSelection();
    m_list->setText(QDir::toNativeSeparators(m_listPath));
    setWindowTitle(QStringLiteral("%1 – %2").arg(kWindowTitle, QFileInfo(m_listPath).fileName()));
    m_log = readLog(logPath(m_dataDirectory));
    showSelection();
    showSummary();
    showDetails();
    return true;
}

void FleetWindow::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && isListFile(urls.first()))
        event->acceptProposedAction();
}

void FleetWindow::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !isListFile(urls.first()))
        return;
    event->acceptProposedAction();
    openList(urls.first().toLocalFile());
}

// --- the actions ---------------------------------------------------------------------------

bool FleetWindow::isRunning() const
{
    return m_run && !m_run->isFinished();
}

bool FleetWindow::idle()
{
    if (!isRunning())
        return true;
    tell(QStringLiteral("Er is al een actie bezig: wacht tot die klaar is, of druk op Stoppen."));
    return false;
}

bool FleetWindow::canStart()
{
    if (!idle())
        return false;
    if (m_listPath.isEmpty()) {
        tell(kOpenListFirst);
        return false;
    }
    return true;
}

std::optional<WriteChoice> FleetWindow::askWrite(FleetAction action, int count)
{
    return m_services.questions->confirmWrite(writeQuestion(action, count), count);
}

void FleetWindow::check()
{
    start({FleetAction::Plan, {}, {}}, targetRows());
}

void FleetWindow::find()
{
    start({FleetAction::Find, {}, {}}, targetRows());
}

void FleetWindow::update()
{
    startWriting(FleetAction::Apply);
}

void FleetWindow::write()
{
    startWriting(FleetAction::Write);
}

void FleetWindow::undo()
{
    startWriting(FleetAction::Undo);
}

void FleetWindow::startWriting(FleetAction action)
{
    if (!canStart())
        return;
    const QList<int> rows = targetRows();
    int count = int(rows.size());
    // An update writes what the last check found differing; when none
    // ran, every module may differ.
    if (action == FleetAction::Apply && std::any_of(rows.begin(), rows.end(), [this](int r) { return m_model->wasChecked(r); })) {
        count = int(std::count_if(rows.begin(), rows.end(),
                                  [this](int r) { return m_model->wasChecked(r) && !m_model->differences(r).isEmpty(); }));
        if (count == 0) {
            tell(QStringLiteral("Volgens de laatste controle houden deze modules hun bestand: er is niets bij te werken. "
                                "Controleer ze opnieuw om zeker te zijn."));
            return;
        }
    }
    const std::optional<WriteChoice> choice = askWrite(action, count);
    if (!choice)
        return;
    start({action, *choice, {}}, rows);
}

void FleetWindow::read()
{
    if (!canStart())
        return;
    const QString suggested = QFileInfo(m_listPath).absoluteDir().filePath(QStringLiteral("gelezen"));
    const std::optional<QString> folder = m_services.questions->askFolder(suggested);
    if (!folder)
        return;
    // Found out before any module is asked, not after their reads.
    const std::optional<QString> why = QDir().mkpath(*folder)
        ? checkWritable(QDir(*folder).filePath(QStringLiteral("module.kvr")))
        : std::optional<QString>(QStringLiteral("de map kan niet worden gemaakt"));
    if (why) {
        tell(QStringLiteral("In de map %1 kan niet worden geschreven; er is geen module gelezen.")
                 .arg(QDir::toNativeSeparators(*folder)),
             *why);
        return;
    }
    start({FleetAction::Read, {}, *folder}, targetRows());
}

void FleetWindow::retry()
{
    if (!idle())
        return;
    QList<int> rows;
    for (int row : m_lastRows) {
        const std::optional<FleetResult> &result = m_model->result(row);
        if (result && (result->outcome == FleetOutcome::Failed || result->outcome == FleetOutcome::Stopped))
            rows.append(row);
    }
    if (rows.isEmpty()) {
        tell(QStringLiteral("Er is niets opnieuw te doen: geen module van de laatste actie is mislukt of gestopt."));
        return;
    }
    Request request = m_last;
    if (fleetActionWrites(request.action)) {
        const int count = int(rows.size());
        const std::optional<WriteChoice> choice = askWrite(request.action, count);
        if (!choice)
            return;
        request.choice = *choice;
    }
    start(request, rows);
}

void FleetWindow::stopRun()
{
    if (isRunning())
        m_run->stop(kStopButton);
}

void FleetWindow::start(const Request &request, const QList<int> &rows)
{
    if (!canStart())
        return;
    // The list and its files as they are now: a file gone meanwhile is found
    // before any module is asked.
    QList<LogEntry> log;
    if (request.action == FleetAction::Undo) {
        QString error;
        log = readLog(logPath(m_dataDirectory), &error);
        if (!error.isEmpty()) {
            tell(QStringLiteral("Het logboek kan niet worden gelezen; er is niets teruggezet."), error);
            return;
        }
    }
    PortDirectory::machine().refresh();   // walked anew for each run, then shared by its modules
    const FleetPlan plan = planFleet(m_listPath, request.action, request.folder, log);
    if (plan.failure) {
        tell(QStringLiteral("De lijst of een bestand erin kan niet worden gebruikt; er is geen module benaderd."),
             plan.failure->dutch);
        return;
    }
    m_model->updateModules(plan.modules);
    QList<int> taken;
    QList<FleetModule> modules;
    for (int row : rows) {
        if (row < plan.modules.size()) {
            taken.append(row);
            modules.append(plan.modules[row]);
        }
    }

    if (const std::optional<FileReason> why = allowOpenFiles(modules.size(), request.choice.jobs)) {
        tell(QStringLiteral("Zoveel modules tegelijk kan dit systeem niet openen; er is geen module benaderd."), why->dutch);
        return;
    }

    FleetOptions options;
    options.action = request.action;
    options.jobs = request.choice.jobs;
    options.canary = request.choice.canary;
    options.verify = true;
    options.readOptions = ReadBackSession::Options::quick(false);
    options.tls = m_services.tls;
    options.portsFor = m_services.portsFor;
    options.context = OperationContext::keptBy(QStringLiteral("kvr7314-fleet"), m_dataDirectory, Journal::Writes::Beside);
    if (m_services.clock)
        options.context.now = [clock = m_services.clock] { return clock->now(); };
    auto *run = new FleetRun(modules, options, this);
    if (const auto refused = run->refusal()) {
        const OperationOutcome &why = refused->second;
        tell(QStringLiteral("Rij %1 (%2) kan zo niet: er is geen module benaderd.")
                 .arg(modules[refused->first].line)
                 .arg(modules[refused->first].name),
             why.box ? oneLine(why.box->text) : why.line);
        delete run;
        return;
    }
    if (m_run)
        m_run->deleteLater();
    m_run = run;
    m_last = request;
    m_lastRows = taken;
    m_model->follow(run, taken);
    connect(run, &FleetRun::finished, this, &FleetWindow::ended);
    setRunning(true);
    run->start();
}

void FleetWindow::ended()
{
    setRunning(false);
    m_log = readLog(logPath(m_dataDirectory));
    showSummary();
    showDetails();
    emit runEnded();
    // From the event loop: the stop may have ended every module while the
    // close that asked for it is still under way.
    if (std::exchange(m_closeWhenStopped, false))
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void FleetWindow::setRunning(bool running)
{
    for (QPushButton *b : std::as_const(m_actions))
        b->setEnabled(!running);
    m_stop->setEnabled(running);
}

void FleetWindow::closeEvent(QCloseEvent *event)
{
    if (!isRunning()) {
        event->accept();
        return;
    }
    event->ignore();
    if (m_services.questions->askYesNo(QStringLiteral("Er zijn nog modules bezig. Stoppen en afsluiten?"))) {
        // The window closes once every module has stopped cleanly.
        m_closeWhenStopped = true;
        stopRun();
    }
}

// --- what the window shows -------------------------------------------------------------------

QList<int> FleetWindow::targetRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
        rows.append(m_sorted->mapToSource(index).row());
    if (rows.isEmpty()) {
        for (int row = 0; row < m_model->rowCount(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void FleetWindow::showSelection()
{
    const int total = m_model->rowCount();
    const int selected = int(m_table->selectionModel()->selectedRows().size());
    if (total == 0)
        m_selection->setText(QString());
    else if (selected == 0)
        m_selection->setText(QStringLiteral("De knoppen gelden voor alle %1 modules van de lijst.").arg(total));
    else
        m_selection->setText(QStringLiteral("De knoppen gelden voor de %1 geselecteerde van %2 modules.").arg(selected).arg(total));
}

void FleetWindow::showSummary()
{
    QList<FleetOutcome> outcomes;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (const std::optional<FleetResult> &result = m_model->result(row))
            outcomes.append(result->outcome);
    }
    m_summary->setText(outcomes.isEmpty() ? QString() : dutchSummary(outcomes, m_model->rowCount()));
}

void FleetWindow::showDetails()
{
    const QModelIndex current = m_sorted->mapToSource(m_table->currentIndex());
    if (!current.isValid()) {
        m_details->clear();
        return;
    }
    const int row = current.row();
    const FleetModule &module = m_model->modules()[row];
    QStringList lines{QStringLiteral("%1 (%2)").arg(module.name, module.port.name())};
    if (!m_model->wasChecked(row)) {
        lines.append(QStringLiteral("Nog niet gecontroleerd."));
    } else if (m_model->differences(row).isEmpty()) {
        lines.append(QStringLiteral("De laatste controle: de module heeft elke waarde van %1.").arg(QFileInfo(module.file).fileName()));
    } else {
        lines.append(QStringLiteral("De laatste controle: %1 veld(en) wijken af van %2:")
                         .arg(m_model->differences(row).size())
                         .arg(QFileInfo(module.file).fileName()));
        for (const FieldDifference &d : m_model->differences(row))
            lines.append(QStringLiteral("  ") + dutchDifference(d));
    }
    if (const std::optional<FleetResult> &result = m_model->result(row); result && !result->dutchCause.isEmpty())
        lines.append(QStringLiteral("Oorzaak: ") + result->dutchCause);
    lines.append(QString());
    const QList<LogEntry> history = historyEntries(m_log, {{}, module.name, {}});
    if (history.isEmpty())
        lines.append(QStringLiteral("Het logboek heeft niets van deze module."));
    else
        lines += historyTable(history);
    m_details->setPlainText(lines.join(u'\n'));
}

void FleetWindow::tell(const QString &text, const QString &details)
{
    m_services.prompts->showMessage(kDefaultBoxTitle, BoxIcon::Information, text, details);
}

// --- the summary kept -------------------------------------------------------------------------

void FleetWindow::saveSummary()
{
    keepSummary(QStringLiteral("Lijst voor een spreadsheet (*.csv)|*.csv"), QStringLiteral("-samenvatting.csv"),
                QStringLiteral("De samenvatting is niet opgeslagen."),
                [](const QList<FleetReportRow> &rows) { return summarySpreadsheet(rows); });
}

void FleetWindow::saveReport()
{
    keepSummary(QStringLiteral("PDF-rapport (*.pdf)|*.pdf"), QStringLiteral("-rapport.pdf"),
                QStringLiteral("Het rapport is niet opgeslagen."), [this](const QList<FleetReportRow> &rows) {
                    const QDateTime now = m_services.clock ? m_services.clock->now() : QDateTime::currentDateTime();
                    return summaryPdf(QFileInfo(m_listPath).fileName(), now, rows);
                });
}

void FleetWindow::keepSummary(const QString &filter, const QString &suffix, const QString &notKept,
                              const std::function<QByteArray(const QList<FleetReportRow> &)> &bytesOf)
{
    if (m_model->rowCount() == 0) {
        tell(kOpenListFirst);
        return;
    }
    FileDialogSetup setup;
    setup.filter = filter;
    setup.fileName = QFileInfo(m_listPath).completeBaseName() + suffix;
    const std::optional<QString> path = m_services.prompts->askSaveFile(setup);
    if (!path)
        return;
    QList<FleetReportRow> rows;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const auto cell = [this, row](int column) { return m_model->index(row, column).data().toString(); };
        rows.append({cell(FleetTableModel::Name), cell(FleetTableModel::Port), cell(FleetTableModel::File),
                     cell(FleetTableModel::Firmware), cell(FleetTableModel::Outcome), cell(FleetTableModel::Cause)});
    }
    const QByteArray bytes = bytesOf(rows);
    if (bytes.isEmpty()) {
        tell(notKept, QStringLiteral("Het document kon niet worden gemaakt."));
        return;
    }
    if (const std::optional<QString> error = writeWholeFile(*path, bytes))
        tell(notKept, QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(*path), *error));
}
