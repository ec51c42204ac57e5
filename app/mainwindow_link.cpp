// The module link commands: opening the serial port, the paced programming
// run, the test call and the no-network notice.
#include "app/mainwindow.h"

#include "link/frames.h"
#include "link/linkmessages.h"
#include "link/qtserialport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

// --- Serial port ------------------------------------------------------------------------

bool MainWindow::openSerialPort()
{
    // The previous object goes first, so its port is closed before the
    // same port is opened again.
    m_port.reset();
    m_portFailed = false;

    std::unique_ptr<SerialPort> port =
        m_services.portFactory ? m_services.portFactory()
                               : std::make_unique<QtSerialPort>(m_services.comDevice);
    if (port && port->open(m_comPort.toInt())) {
        connect(port.get(), &SerialPort::failed, this, &MainWindow::reportWriteFailure);
        m_port = std::move(port);
        return true;
    }

    // The program keeps running (ending it would lose every unsaved edit);
    // the operation that wanted the port is abandoned by its caller. A run's
    // timer stops before the box, so no tick comes while it is open.
    if (m_busy == BusyKind::Writing)
        abortProgramming();
    m_services.prompts->showMessage(kCommunicationErrorTitle, BoxIcon::Error, openFailureText(m_comPort));
    return false;
}

void MainWindow::reportWriteFailure()
{
    // A pulled adapter can report many errors; the first one ends the
    // operation, and a signal that comes while the box is open adds nothing.
    if (m_portFailed)
        return;
    m_portFailed = true;
    // The line went away after the last operation had sent everything (an
    // adapter pulled while the window sat idle): nothing the user asked for
    // failed. The next operation opens the port anew and says so if it cannot.
    if (!isBusy() && m_port && !m_port->failureLostData())
        return;
    // Halt the run before the box: its timers must not tick while it is open.
    const bool reading = m_busy == BusyKind::Reading;
    if (m_busy == BusyKind::Writing)
        abortProgramming();
    else if (reading)
        abortReadBack();
    m_services.prompts->showMessage(kCommunicationErrorTitle, BoxIcon::Error,
                                    reading ? kReadPortFailureText : kWriteFailureText);
    if (isBusy())
        leaveBusy();
}

// --- Programming run ------------------------------------------------------------------------

void MainWindow::startProgramming()
{
    if (isBusy())
        return;
    ModuleSettings normalised = settings();
    normaliseTimers(normalised);
    for (TimerField field : kTimerFields)
        setTimerText(field, normalised.timer(field));

    m_programming.start();
    m_tmrPauze->start();
    enterBusy(BusyKind::Writing);
}

void MainWindow::programmingTick()
{
    // Ticks only count while the run's timer runs: a run that has been
    // halted (its port failed) takes no further step.
    if (!m_tmrPauze->isActive())
        return;
    const ProgrammingTick tick = m_programming.tick();
    if (tick.sendStep != 0) {
        sendProgrammingStep(tick.sendStep);
        if (!m_tmrPauze->isActive())
            return;
    }
    m_imgLedDataUit->setVisible(tick.ledShown);
    if (tick.finished)
        finishProgramming();
}

void MainWindow::sendProgrammingStep(int step)
{
    if (step == 1 && !openSerialPort()) {
        abortProgramming();   // already halted before the box; idempotent
        leaveBusy();
        return;
    }
    if (!m_port)
        return;
    // Each step takes the window's values as they are now, so an edit made
    // during the run reaches every step that comes after it.
    ModuleSettings now = settings();
    if (const auto timer = timerOfStep(step)) {
        now.timer(*timer) = padTimer(now.timer(*timer));
        setTimerText(*timer, now.timer(*timer));
    }
    m_port->writeBytes(programmingStepFrame(step, now));
}

void MainWindow::finishProgramming()
{
    m_tmrPauze->stop();
    m_imgLedDataUit->hide();
    m_lblDataUit->setEnabled(false);
    m_services.prompts->showMessage(QStringLiteral("KVR7314"), BoxIcon::Information, kProgrammedText);
    leaveBusy();
}

void MainWindow::abortProgramming()
{
    m_tmrPauze->stop();
    m_imgLedDataUit->hide();
    m_lblDataUit->setEnabled(false);
}

// --- Test call and no-network notice -----------------------------------------------------------

void MainWindow::sendTestCall()
{
    if (!openSerialPort())
        return;
    const QString code = m_chkOntvangerFlex->isChecked() ? m_cbxCapcode->currentText()
                                                         : m_cbxRic->currentText();
    m_port->writeBytes(testCallFrame(code, m_txtTestbericht->text()));
}

void MainWindow::sendNoNetworkNotice()
{
    if (!openSerialPort())
        return;
    m_port->writeBytes(noNetworkFrame());
}
