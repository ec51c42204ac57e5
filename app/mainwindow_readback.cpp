// "lezen" in the window: the busy state around the read-back session, and
// what its end shows: the module's settings, or why there are none.
#include "app/mainwindow.h"

#include "link/linkmessages.h"
#include "readback/dumpcomparison.h"
#include "readback/readbackmessages.h"
#include "readback/readbacksession.h"

#include <QLabel>
#include <QLineEdit>

void MainWindow::startReadBack()
{
    if (isBusy())
        return;   // the button is off while a run lasts; this guards calls from code

    // A failed read puts the user's aliases back as they are now; a read
    // that replaces other values than those last opened, saved, read or
    // written keeps them as a backup first.
    m_valuesBeforeRead = settings();
    m_readOperation.reset();
    m_readOperation.emplace(beginOnModule(QStringLiteral("read")));

    m_lblDataIn->setEnabled(true);
    enterBusy(BusyKind::Reading);   // the nine buttons off, the version hidden (its text kept)
    for (QLineEdit *alias : m_aliasEdits)
        alias->clear();
    m_txtInlezen->clear();
    m_readBack->startReadBack();
}

void MainWindow::finishReadBack(const DumpParse &parse)
{
    endReadBack();
    if (!parse.accepted()) {
        // The version stays hidden, as after a read that got nothing.
        restoreAliasesAfterFailedRead();
        const QString problems = finishOperation(m_readOperation, false, parse.rejection);
        m_services.prompts->showMessage(kReadFailedTitle, BoxIcon::Information, kFaultyDataText, problems);
        leaveBusy();
        return;
    }
    if (m_readOperation && !settingsDifferences(m_valuesBeforeRead, m_knownValues).isEmpty())
        m_readOperation->keepReplaced(m_valuesBeforeRead, m_readOperation->entry.port, kBeforeReadBackup);
    applyUpdate(*parse.update);   // texts, timers, codes by their boxes, the version last
    m_knownValues = settings();
    if (m_readOperation) {
        m_readOperation->entry.firmware = m_knownValues.firmwareVersion;
        m_readOperation->backUp(m_knownValues, kReadBackup);
    }
    const QString problems = finishOperation(m_readOperation, true);
    m_lblVersie->show();
    m_txtVersie->show();
    m_services.prompts->showMessage(kReadDoneTitle, BoxIcon::Information, kReadDoneText, problems);
    leaveBusy();
}

void MainWindow::failReadBack()
{
    endReadBack();
    restoreAliasesAfterFailedRead();
    const QString problems = finishOperation(m_readOperation, false, oneLine(kNoDataText));
    m_services.prompts->showMessage(kReadFailedTitle, BoxIcon::Information, kNoDataText, problems);
    leaveBusy();
}

void MainWindow::readBackFailed(const PortFailure &failure)
{
    endReadBack();
    restoreAliasesAfterFailedRead();
    showPortFailure(failure, kReadPortFailureText, finishOperation(m_readOperation, false, portFailureCause(failure)));
    leaveBusy();
}

void MainWindow::endReadBack()
{
    // The session has stopped its timers and put the LED out.
    m_lblDataIn->setEnabled(false);
    m_txtInlezen->setText(m_readBack->buffer());
}

void MainWindow::restoreAliasesAfterFailedRead()
{
    for (int i = 0; i < kAliasCount; ++i)
        m_aliasEdits[i]->setText(m_valuesBeforeRead.aliases[size_t(i)]);
}
