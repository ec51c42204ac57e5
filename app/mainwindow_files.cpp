// The " Bestand " group: save the shown settings to a .kvr file, load one,
// print them. The file dialog's name carries over from one use to the next,
// as one dialog object would keep it.

#include "app/mainwindow.h"

#include "files/filemessages.h"
#include "files/report.h"
#include "files/settingsfile.h"

#include <QPrinter>

void MainWindow::saveSettings()
{
    const std::optional<QString> path =
        m_services.prompts->askSaveFile(FileDialogSetup{kSaveFilter, m_dialogFileName, false});
    if (!path)
        return;
    m_dialogFileName = *path;
    if (path->isEmpty())
        return;
    const SaveOutcome saved = writeSettingsFile(*path, settings(), programVersion(), m_monthName, m_services.clock->now());
    if (saved)
        return;
    // Settings that would not open again as they are (a text holding a key
    // of the file) are refused with the field named in the box itself; a
    // failure of the disk or the folder keeps the box's words and gives the
    // system's reason under "Details".
    if (saved.refused)
        m_services.prompts->showMessage(kDefaultBoxTitle, BoxIcon::None, kSaveFailedText + QStringLiteral("\r\n") + saved.reason.dutch);
    else
        m_services.prompts->showMessage(kDefaultBoxTitle, BoxIcon::None, kSaveFailedText, saved.reason.dutch);
}

void MainWindow::openSettings()
{
    const std::optional<QString> path =
        m_services.prompts->askOpenFile(FileDialogSetup{kOpenFilter, kOpenInitialName, true});
    if (!path) {
        m_dialogFileName = kOpenInitialName;
        return;
    }
    m_dialogFileName = *path;

    // The whole file is decoded before anything in the window changes, so a
    // file that fails anywhere leaves the window exactly as it was.
    const SettingsFileOutcome outcome = readSettingsFile(*path);
    switch (outcome.kind) {
    case SettingsFileOutcome::Loaded:
        applyUpdate(outcome.update);
        break;
    case SettingsFileOutcome::WrongProduct:
        m_services.prompts->showMessage(kWrongProductTitle, BoxIcon::Information, wrongProductText(outcome.product));
        break;
    case SettingsFileOutcome::Failed:
        m_services.prompts->showMessage(kNothingLoadedTitle, BoxIcon::Information, nothingLoadedText(),
                                        outcome.reason.dutch);
        break;
    }
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
