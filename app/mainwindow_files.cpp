// The " Bestand " group: save the shown settings to a .kvr file, load one,
// print them. The file dialog's name carries over from one use to the next,
// as one dialog object would keep it.

#include "app/mainwindow.h"

#include "files/filemessages.h"
#include "files/report.h"
#include "operations/fileoperations.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QFileInfo>
#include <QPrinter>

namespace {

// The sample files: beside the program (the Windows release), in the
// package's documentation, or in the source tree above a build.
QString examplesDirectory()
{
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString &place : {here + QStringLiteral("/examples"), here + QStringLiteral("/../share/doc/kvr7314/examples"),
                                 here + QStringLiteral("/../../examples")}) {
        if (QFileInfo::exists(place + QStringLiteral("/flex.kvr")))
            return QDir(place).canonicalPath();
    }
    return {};
}

// The data folder with its backups, and the sample files, beside the
// dialog's usual places.
QStringList dialogSidebar(const QString &dataFolder)
{
    QStringList folders{dataFolder};
    if (const QString examples = examplesDirectory(); !examples.isEmpty())
        folders.append(examples);
    return folders;
}

} // namespace

void MainWindow::saveSettings()
{
    QDir().mkpath(m_dataDirectory);
    const std::optional<QString> path = m_services.prompts->askSaveFile(
        FileDialogSetup{kSaveFilter, m_dialogFileName, false, dialogSidebar(m_dataDirectory)});
    if (!path)
        return;
    m_dialogFileName = *path;
    if (path->isEmpty())
        return;
    m_save->setFile(*path);
    m_save->start();
}

void MainWindow::openSettings()
{
    QDir().mkpath(m_dataDirectory);
    const std::optional<QString> path = m_services.prompts->askOpenFile(
        FileDialogSetup{kOpenFilter, kOpenInitialName, true, dialogSidebar(m_dataDirectory)});
    if (!path) {
        m_dialogFileName = kOpenInitialName;
        return;
    }
    m_dialogFileName = *path;
    openSettingsFile(*path);
}

void MainWindow::openSettingsFile(const QString &path)
{
    m_dialogFileName = path;
    m_open->setFile(path);
    m_open->start();
}

namespace {

// The one local .kvr file a drag carries, or nothing.
std::optional<QString> droppedSettingsFile(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().constFirst().isLocalFile())
        return std::nullopt;
    const QString path = data->urls().constFirst().toLocalFile();
    if (!path.endsWith(QLatin1String(".kvr"), Qt::CaseInsensitive))
        return std::nullopt;
    return path;
}

} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    // Not during a run: "openen" is off then too.
    if (!isBusy() && droppedSettingsFile(event->mimeData()))
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const std::optional<QString> path = droppedSettingsFile(event->mimeData());
    if (isBusy() || !path)
        return;
    event->acceptProposedAction();
    openSettingsFile(*path);
}

void MainWindow::printReport()
{
    QPrinter printer(QPrinter::HighResolution);
    if (!m_services.prompts->askPrinter(printer)) {
        m_services.prompts->showMessage(kDefaultBoxTitle, BoxIcon::None, kPrintCancelledText);
        return;
    }
    const QList<ReportLine> lines = reportLines(settings(), programVersion(), m_monthName, m_services.clock->now());
    // "Print to file" makes a PDF: made whole and checked before it replaces
    // an old file, since Qt does not report a disk that fills.
    const bool toPdfFile = printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
    if (const std::optional<PrintFailure> failure =
            toPdfFile ? printReportToPdf(printer.outputFileName(), lines) : ::printReport(printer, lines))
        m_services.prompts->showMessage(kDefaultBoxTitle, BoxIcon::None, printFailureText(*failure));
}
