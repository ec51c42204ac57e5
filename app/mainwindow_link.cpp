// The module link in the window: the serial port (RS232) its operations
// open, "schrijven", the test call and the no-network notice.
#include "app/mainwindow.h"

#include "link/portlist.h"
#include "link/systemserialport.h"
#include "operations/fileoperations.h"
#include "operations/frameoperation.h"
#include "operations/readoperation.h"
#include "operations/writeoperation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>

// --- Operations and the serial port -------------------------------------------------------

void MainWindow::createOperations()
{
    OperationContext context = OperationContext::keptBy(QCoreApplication::applicationName(), m_dataDirectory);
    context.now = [this] { return m_services.clock->now(); };

    m_write = new WriteOperation(moduleAccess(), *this, context, this);
    connect(m_write, &Operation::ledChanged, m_imgLedDataUit, &QWidget::setVisible);
    connect(m_write, &Operation::finished, this, &MainWindow::finishProgramming);

    m_read = new ReadOperation(moduleAccess(), *this, context, this);
    connect(m_read, &Operation::ledChanged, m_imgLedDataIn, &QWidget::setVisible);
    connect(m_read, &Operation::finished, this, &MainWindow::finishReadBack);

    m_frame = new FrameOperation(moduleAccess(), context, this);
    m_save = new SaveOperation(*this, context, m_monthName, this);
    m_open = new OpenOperation(*this, context, this);
    for (Operation *operation : std::initializer_list<Operation *>{m_frame, m_save, m_open})
        connect(operation, &Operation::finished, this, &MainWindow::present);
}

ModuleAccess MainWindow::moduleAccess()
{
    ModuleAccess access;
    access.address = [this] { return PortAddress::com(m_comPort.toInt()); };
    access.comDevice = [this](int comPort) { return comDevice(comPort); };
    access.newPort = [this] { return newSerialPort(); };
    access.keepPortOpen = true;
    return access;
}

std::unique_ptr<SerialPort> MainWindow::newSerialPort()
{
    m_write->releasePort();
    m_read->releasePort();
    m_frame->releasePort();
    return m_services.portFactory ? m_services.portFactory() : makeSystemSerialPort();
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
    // Each opening releases the others' ports: at most one holds one.
    for (SerialPort *port : {m_write->port(), m_read->port(), m_frame->port()}) {
        if (port)
            return port;
    }
    return nullptr;
}

ProgrammingSession &MainWindow::programmingSession() const { return m_write->session(); }

ReadBackSession &MainWindow::readBackSession() const { return m_read->session(); }

void MainWindow::present(const OperationOutcome &outcome)
{
    if (outcome.box)
        m_services.prompts->showMessage(outcome.box->title, outcome.box->icon, outcome.box->text, outcome.box->details);
}

// --- Programming run ------------------------------------------------------------------------

void MainWindow::startProgramming()
{
    if (isBusy())
        return;
    if (const auto refused = m_write->check()) {
        present(*refused);
        return;
    }
    enterBusy(BusyKind::Writing);
    m_write->start();
}

void MainWindow::finishProgramming(const OperationOutcome &outcome)
{
    // The run has stopped its timer and put the LED out; the buttons come
    // back once its box is closed.
    m_lblDataUit->setEnabled(false);
    present(outcome);
    leaveBusy();
}

// --- Test call and no-network notice -----------------------------------------------------------

void MainWindow::sendTestCall()
{
    m_frame->setTestCall(m_chkOntvangerFlex->isChecked() ? m_cbxCapcode->currentText() : m_cbxRic->currentText(),
                         m_txtTestbericht->text());
    m_frame->start();
}

void MainWindow::sendNoNetworkNotice()
{
    m_frame->setNoNetworkNotice();
    m_frame->start();
}
