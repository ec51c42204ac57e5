// The module link in the window: the serial port (RS232), "schrijven" on
// the programming session, the test call and the no-network notice.
#include "app/mainwindow.h"

#include "link/frames.h"
#include "link/linkmessages.h"
#include "link/openfailure.h"
#include "link/portlist.h"
#include "link/programmingsession.h"
#include "link/systemserialport.h"
#include "readback/readbacksession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>

// --- Serial port ------------------------------------------------------------------------

void MainWindow::createSessions()
{
    const PortAccess port{[this] { return newSerialPort(); }, [this] { return m_comPort.toInt(); }};

    m_programming = new ProgrammingSession(port, [this] { return settings(); }, this);
    connect(m_programming, &ProgrammingSession::fieldTextChanged, this, &MainWindow::setFieldText);
    connect(m_programming, &ProgrammingSession::ledChanged, m_imgLedDataUit, &QWidget::setVisible);
    connect(m_programming, &ProgrammingSession::finished, this, &MainWindow::finishProgramming);
    connect(m_programming, &ProgrammingSession::failed, this, &MainWindow::programmingFailed);

    m_readBack = new ReadBackSession(port, this);
    connect(m_readBack, &ReadBackSession::ledChanged, m_imgLedDataIn, &QWidget::setVisible);
    connect(m_readBack, &ReadBackSession::finished, this, &MainWindow::finishReadBack);
    connect(m_readBack, &ReadBackSession::noData, this, &MainWindow::failReadBack);
    connect(m_readBack, &ReadBackSession::failed, this, &MainWindow::readBackFailed);
}

std::unique_ptr<SerialPort> MainWindow::newSerialPort()
{
    m_programming->releasePort();
    m_readBack->releasePort();
    m_port.reset();
    if (m_services.portFactory)
        return m_services.portFactory();
    return makeSystemSerialPort([this](int comPort) { return comDevice(comPort); });
}

QString MainWindow::comDevice(int comPort) const
{
    return m_services.comDevice ? m_services.comDevice(comPort) : machineComDevice(comPort);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        for (int i = 0; i < int(m_chkCom.size()); ++i) {
            if (watched == m_chkCom[i])
                m_chkCom[i]->setToolTip(portDescription(comDevice(i + 1), foundPorts()));
        }
    }
    return QWidget::eventFilter(watched, event);
}

SerialPort *MainWindow::serialPort() const
{
    if (m_programming->port())
        return m_programming->port();
    if (m_readBack->port())
        return m_readBack->port();
    return m_port.get();
}

bool MainWindow::openSerialPort()
{
    m_portFailed = false;
    PortFailure failure;
    std::unique_ptr<SerialPort> port =
        openPort({[this] { return newSerialPort(); }, [this] { return m_comPort.toInt(); }}, &failure);
    if (!port) {
        showOpenFailure(failure);
        return false;
    }
    connect(port.get(), &SerialPort::failed, this, &MainWindow::reportWriteFailure);
    m_port = std::move(port);
    return true;
}

void MainWindow::showOpenFailure(const PortFailure &failure)
{
    // The program keeps running (ending it would lose every unsaved edit);
    // the operation that wanted the port is abandoned. The box keeps its
    // words; its details name the device, the cause and what to do.
    m_services.prompts->showMessage(kCommunicationErrorTitle, BoxIcon::Error, openFailureText(m_comPort.toInt()),
                                    openFailureDetails(failure, foundPorts()));
}

void MainWindow::showPortFailure(const PortFailure &failure, const QString &lineFailedText)
{
    if (failure.kind == PortFailure::CannotOpen)
        showOpenFailure(failure);
    else
        m_services.prompts->showMessage(kCommunicationErrorTitle, BoxIcon::Error, lineFailedText);
}

void MainWindow::reportWriteFailure()
{
    // A pulled adapter can report many errors; the first one counts, and a
    // signal that comes while the box is open adds nothing.
    if (m_portFailed)
        return;
    m_portFailed = true;
    // The line went away after the call had been sent (an adapter pulled
    // while the window sat idle): nothing the user asked for failed. The
    // next operation opens the port anew and says so if it cannot.
    if (m_port && !m_port->lostWrites())
        return;
    m_services.prompts->showMessage(kCommunicationErrorTitle, BoxIcon::Error, kWriteFailureText);
}

// --- Programming run ------------------------------------------------------------------------

void MainWindow::startProgramming()
{
    if (isBusy())
        return;
    m_programming->startProgramming();
    enterBusy(BusyKind::Writing);
}

void MainWindow::finishProgramming()
{
    m_lblDataUit->setEnabled(false);
    m_services.prompts->showMessage(QStringLiteral("KVR7314"), BoxIcon::Information, kProgrammedText);
    leaveBusy();
}

void MainWindow::programmingFailed(const PortFailure &failure)
{
    // The session has already halted: no tick comes while the box is open.
    m_lblDataUit->setEnabled(false);
    showPortFailure(failure, kWriteFailureText);
    leaveBusy();
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
