// The module link in the window: the serial port (RS232) its operations
// open, "schrijven", the test call and the no-network notice.
#include "app/mainwindow.h"

#include "link/portdirectory.h"
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
#include <QMenu>

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
    access.address = [this] {
        const int comPort = m_comPort.toInt();
        const std::optional<NetworkAddress> server = networkBehind(comPort);
        return server ? PortAddress::comBehind(comPort, *server) : PortAddress::com(comPort);
    };
    access.comDevice = [this](int comPort) { return comDevice(comPort); };
    access.connection = m_connection;
    access.newPort = m_services.portFactory;
    // The last operation's port stays open until the next opening, as the
    // module's own tool kept it.
    access.beforeOpening = [this] {
        releasePorts();
        // An adapter plugged in since the last opening is found.
        PortDirectory::machine().refresh();
    };
    return access;
}

void MainWindow::releasePorts()
{
    m_write->releasePort();
    m_read->releasePort();
    m_frame->releasePort();
}

std::optional<NetworkAddress> MainWindow::networkBehind(int comPort) const
{
    return m_networkBehind[size_t(comPort - 1)];
}

void MainWindow::putNetworkAddressBehind(int comPort, const NetworkAddress &address)
{
    m_networkBehind[size_t(comPort - 1)] = address;
    if (m_chkCom[size_t(comPort - 1)])
        m_chkCom[size_t(comPort - 1)]->setToolTip(comToolTip(comPort, {}));
}

QString MainWindow::comDevice(int comPort) const
{
    return m_services.comDevice ? m_services.comDevice(comPort) : PortDirectory::machine().comDevice(comPort);
}

QString MainWindow::comToolTip(int comPort, const QList<FoundPort> &ports) const
{
    if (const std::optional<NetworkAddress> address = networkBehind(comPort))
        return QStringLiteral("%1 – %2").arg(address->text, address->kindDutch());
    return portDescription(comDevice(comPort), ports);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        for (int i = 0; i < int(m_chkCom.size()); ++i) {
            if (watched != m_chkCom[i])
                continue;
            // The system's ports are looked up only for a serial port.
            const bool network = networkBehind(i + 1).has_value();
            if (!network)
                PortDirectory::machine().refresh();
            m_chkCom[i]->setToolTip(comToolTip(i + 1, network ? QList<FoundPort>() : PortDirectory::machine().ports()));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::showComMenu(int comPort, const QPoint &where)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("MenuCOM%1").arg(comPort));
    QAction *put = menu.addAction(QStringLiteral("Netwerkadres instellen..."));
    QAction *remove = menu.addAction(QStringLiteral("Netwerkadres verwijderen"));
    remove->setEnabled(m_networkBehind[size_t(comPort - 1)].has_value());
    connect(put, &QAction::triggered, this, [this, comPort] { askNetworkAddress(comPort); });
    connect(remove, &QAction::triggered, this, [this, comPort] {
        m_networkBehind[size_t(comPort - 1)].reset();
        m_chkCom[size_t(comPort - 1)]->setToolTip(comToolTip(comPort, PortDirectory::machine().ports()));
    });
    menu.exec(where);
}

void MainWindow::askNetworkAddress(int comPort)
{
    const QString current = m_networkBehind[size_t(comPort - 1)] ? m_networkBehind[size_t(comPort - 1)]->text : QString();
    const std::optional<QString> answer = m_services.prompts->askText(
        comPortName(comPort),
        QStringLiteral("Netwerkadres voor %1 (alleen voor deze sessie),\n"
                       "bijvoorbeeld rfc2217://192.168.1.20:4001 of tcp://server:4001:")
            .arg(comPortName(comPort)),
        current.isEmpty() ? QStringLiteral("rfc2217://") : current);
    if (!answer)
        return;
    const std::optional<NetworkAddress> address = NetworkAddress::parse(answer->trimmed());
    if (!address) {
        m_services.prompts->showMessage(kDefaultBoxTitle, BoxIcon::Information,
                                        QStringLiteral("\"%1\" is geen netwerkadres.").arg(answer->trimmed()),
                                        QStringLiteral("Mogelijke vormen: ") + NetworkAddress::formsTaken());
        return;
    }
    putNetworkAddressBehind(comPort, *address);
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
