// The read-back run ("lezen"): read request, one character per poll into the
// receive buffer, and 12 s after the first character the parse of the dump.
#include "app/mainwindow.h"

#include "link/frames.h"
#include "readback/readbackmessages.h"

#include <QLabel>
#include <QLineEdit>

void MainWindow::startReadBack()
{
    if (isBusy())
        return;   // the button is off while a run lasts; this guards calls from code
    if (!m_tmrFirstPoll) {
        m_tmrFirstPoll = new QTimer(this);
        m_tmrFirstPoll->setObjectName(QStringLiteral("Tmr_EerstePoll"));
        m_tmrFirstPoll->setSingleShot(true);
        m_tmrFirstPoll->setTimerType(Qt::PreciseTimer);
        m_tmrFirstPoll->setInterval(kFirstPollDelayMs);
        connect(m_tmrFirstPoll, &QTimer::timeout, this, [this] {
            pollReceive();
            if (m_readBack.isActive())
                m_tmrInlezen->start();
        });
    }

    // A failed read puts the user's aliases back as they are now.
    for (int i = 0; i < kAliasCount; ++i)
        m_aliasesBeforeRead[i] = m_aliasEdits[i]->text();

    m_lblDataIn->setEnabled(true);
    m_imgLedDataIn->show();
    enterBusy(BusyKind::Reading);   // the nine buttons off, the version hidden (its text kept)

    for (QLineEdit *alias : m_aliasEdits)
        alias->clear();
    m_readBack.start();
    m_txtInlezen->clear();

    // The blink timer starts once the port is open, so that it is not
    // running under the box that a failed opening shows.
    if (!openSerialPort()) {
        m_readBack.abandon();
        m_imgLedDataIn->hide();
        m_lblDataIn->setEnabled(false);
        restoreAliasesAfterFailedRead();
        leaveBusy();
        return;
    }
    m_tmrKnippertijdLed->start();

    m_port->writeBytes(readRequestFrame());

    m_tmrFirstPoll->start();
}

void MainWindow::pollReceive()
{
    if (!m_readBack.isActive())
        return;   // a tick queued before the run ended

    QString received;
    if (m_port && m_port->lastEvent() == SerialPort::kEventReceive)
        received = m_port->readText();

    switch (m_readBack.poll(received)) {
    case ReadBackRun::PollStep::NoData:
        failReadBack();
        break;
    case ReadBackRun::PollStep::StartParseTimer:
        m_tmrVerwerkenData->start();   // once: 12 s from the first character
        break;
    case ReadBackRun::PollStep::KeepPolling:
    case ReadBackRun::PollStep::Ignored:
        break;
    }
}

void MainWindow::finishReadBack()
{
    // Nothing that arrives from now on is used.
    m_tmrInlezen->stop();
    m_tmrVerwerkenData->stop();
    m_tmrFirstPoll->stop();
    if (!m_readBack.isActive())
        return;

    const DumpParse parse = m_readBack.finish();
    m_txtInlezen->setText(m_readBack.buffer());
    if (parse.accepted())
        applyUpdate(*parse.update);   // texts, timers, codes by their boxes, the version last
    else
        restoreAliasesAfterFailedRead();

    m_tmrKnippertijdLed->stop();
    m_imgLedDataIn->hide();
    m_lblDataIn->setEnabled(false);

    if (parse.accepted()) {
        m_lblVersie->show();
        m_txtVersie->show();
        m_services.prompts->showMessage(kReadDoneTitle, BoxIcon::Information, kReadDoneText);
    } else {
        // The version stays hidden, as after a read that got nothing.
        m_services.prompts->showMessage(kReadFailedTitle, BoxIcon::Information, kFaultyDataText);
    }
    leaveBusy();
}

void MainWindow::failReadBack()
{
    abortReadBack();
    m_services.prompts->showMessage(kReadFailedTitle, BoxIcon::Information, kNoDataText);
    leaveBusy();
}

void MainWindow::abortReadBack()
{
    m_tmrKnippertijdLed->stop();
    m_tmrVerwerkenData->stop();
    m_tmrInlezen->stop();
    if (m_tmrFirstPoll)
        m_tmrFirstPoll->stop();
    m_readBack.abandon();

    m_imgLedDataIn->hide();
    m_lblDataIn->setEnabled(false);
    m_txtInlezen->setText(m_readBack.buffer());
    restoreAliasesAfterFailedRead();
}

void MainWindow::blinkDataLed()
{
    m_imgLedDataIn->setVisible(m_imgLedDataIn->isHidden());
}

void MainWindow::restoreAliasesAfterFailedRead()
{
    for (int i = 0; i < kAliasCount; ++i)
        m_aliasEdits[i]->setText(m_aliasesBeforeRead[i]);
}
