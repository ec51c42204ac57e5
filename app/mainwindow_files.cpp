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
    if (!writeSettingsFile(*path, settings(), programVersion(), m_monthName, m_services.clock->now()))
        m_services.prompts->showMessage(kDefaultBoxTitle, BoxIcon::None, kSaveFailedText);
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
        m_services.prompts->showMessage(kNothingLoadedTitle, BoxIcon::Information, nothingLoadedText());
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
    if (const std::optional<PrintFailure> failure = ::printReport(printer, lines))
        m_services.prompts->showMessage(kDefaultBoxTitle, BoxIcon::None, printFailureText(*failure));
}
