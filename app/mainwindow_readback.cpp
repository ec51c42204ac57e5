// The read-back run ("lezen"): read request, one character per poll into the
// receive buffer, and 12 s after the first character the parse of the dump.
#include "app/mainwindow.h"

#include "link/frames.h"

#include <QLabel>
#include <QLineEdit>

namespace {

// The first poll decides whether the module answered at all, so it must not
// come before a real module can have begun its reply: the 6-byte request
// needs about 3 ms on the line at 19200 baud, and the module's processor then
// has to take the frame and start sending. 250 ms covers both with a wide
// margin (a KVR7314 answers within tens of milliseconds) and still feels
// immediate to the user; the characters that arrive meanwhile wait in the
// port's receive buffer and are taken one per poll from then on.
constexpr int kFirstPollDelayMs = 250;

const QString kReadDoneTitle = QStringLiteral("KVR7314");
const QString kReadDoneText = QStringLiteral("De data uit de KVR7314 is ingelezen.\r\r\r");

const QString kReadFailedTitle = QStringLiteral("Foutmelding bij inlezen data");
const QString kNoDataText = QStringLiteral(
    "              FOUTMELDING: Geen data kunnen lezen van de KVR7314.\r"
    "\r"
    "1 - controleer of de KVR7314 is aangesloten op de 9 polige connector\r"
    "2 - controleer of de jumper naast het relais in de onderste stand staat\r"
    "3 - controleer of de RUN-LED op de KVR7314 knippert\r"
    "4 - controleer of de DATA-LED op de KVR7314 even oplicht als op de knop lezen wordt gedrukt\r"
    "\r");
// A reply that came but could not be cut into settings: nothing was changed.
const QString kFaultyDataText = QStringLiteral(
    "              FOUTMELDING: De data uit de KVR7314 is onvolledig of onleesbaar.\r"
    "\r"
    "Er is niets gewijzigd. Druk nogmaals op de knop lezen.\r"
    "\r");

} // namespace

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
    m_tmrKnippertijdLed->stop();
    m_tmrVerwerkenData->stop();
    m_tmrInlezen->stop();
    m_tmrFirstPoll->stop();
    m_readBack.abandon();

    m_imgLedDataIn->hide();
    m_lblDataIn->setEnabled(false);
    m_txtInlezen->setText(m_readBack.buffer());
    restoreAliasesAfterFailedRead();

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
