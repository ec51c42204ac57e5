// "lezen" in the window: the busy state around the read operation, and
// what its end shows: the module's settings, or why there are none.
#include "app/mainwindow.h"

#include "operations/readoperation.h"

#include <QLabel>
#include <QLineEdit>

void MainWindow::startReadBack()
{
    if (isBusy())
        return;   // the button is off while a run lasts; this guards calls from code
    enterBusy(BusyKind::Reading);   // the nine buttons off, the version hidden (its text kept)
    m_txtInlezen->clear();
    m_read->start();
}

void MainWindow::finishReadBack(const OperationOutcome &outcome)
{
    // The run has stopped its timers and put the LED out; the aliases hold
    // the module's, or again what they held before.
    m_lblDataIn->setEnabled(false);
    m_txtInlezen->setText(m_read->receivedText());
    if (outcome.ok()) {
        m_lblVersie->show();
        m_txtVersie->show();
    }
    present(outcome);
    leaveBusy();
}
