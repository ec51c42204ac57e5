// The module link in the window: the serial port (RS232), "schrijven" on
// the programming session, the test call and the no-network notice.
#include "app/mainwindow.h"

#include "files/filemessages.h"
#include "link/frames.h"
#include "link/linkmessages.h"
#include "link/openfailure.h"
#include "link/portlist.h"
#include "link/programmingsession.h"
#include "link/systemserialport.h"
#include "readback/readbacksession.h"
#include "settings/textrule.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

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

bool MainWindow::openSerialPort(std::optional<Journal::Operation> *operation)
{
    m_portFailed = false;
    PortFailure failure;
    std::unique_ptr<SerialPort> port =
        openPort({[this] { return newSerialPort(); }, [this] { return m_comPort.toInt(); }}, &failure);
    if (!port) {
        const QString problems = operation ? finishOperation(*operation, false, portFailureCause(failure)) : QString();
        showOpenFailure(failure, problems);
        return false;
    }
    connect(port.get(), &SerialPort::failed, this, &MainWindow::reportWriteFailure);
    m_port = std::move(port);
    return true;
}

void MainWindow::showOpenFailure(const PortFailure &failure, const QString &problems)
{
    // The program keeps running (ending it would lose every unsaved edit);
    // the operation that wanted the port is abandoned. The box keeps its
    // words; its details name the device, the cause and what to do.
    m_services.prompts->showMessage(kCommunicationErrorTitle, BoxIcon::Error, openFailureText(m_comPort.toInt()),
                                    withJournalProblems(openFailureDetails(failure, foundPorts()), problems));
}

void MainWindow::showPortFailure(const PortFailure &failure, const QString &lineFailedText, const QString &problems)
{
    if (failure.kind == PortFailure::CannotOpen)
        showOpenFailure(failure, problems);
    else
        m_services.prompts->showMessage(kCommunicationErrorTitle, BoxIcon::Error, lineFailedText, problems);
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
    finishSingleFrame(false, QStringLiteral("the line failed before the frame had left"));
    m_services.prompts->showMessage(kCommunicationErrorTitle, BoxIcon::Error, kWriteFailureText);
}

// --- The log and the backups ------------------------------------------------------

Journal::Operation MainWindow::beginOnModule(const QString &operation)
{
    Journal::Operation op = m_journal.begin(operation, m_services.clock->now());
    const QString device = comDevice(m_comPort.toInt());
    const std::optional<FoundPort> found = portOfDevice(device, foundPorts());
    op.setPort(device, found ? found->description : QString(), found ? found->serialNumber : QString());
    return op;
}

QString MainWindow::finishOperation(std::optional<Journal::Operation> &op, bool ok, const QString &cause)
{
    if (!op)
        return {};
    const QList<FileReason> problems = op->finish(ok, cause);
    op.reset();
    return journalProblemsDutch(problems);
}

void MainWindow::showJournalProblems(const QString &problems)
{
    if (!problems.isEmpty())
        m_services.prompts->showMessage(kDefaultBoxTitle, BoxIcon::Information, kJournalProblemText, problems);
}

void MainWindow::finishSingleFrame(bool ok, const QString &cause)
{
    showJournalProblems(finishOperation(m_frameOperation, ok, cause));
}

QString MainWindow::portFailureCause(const PortFailure &failure) const
{
    if (failure.kind == PortFailure::CannotOpen)
        return openFailureLine(failure, foundPorts());
    return QStringLiteral("the line failed: ") + failure.description;
}

// --- Programming run ------------------------------------------------------------------------

void MainWindow::startProgramming()
{
    if (isBusy())
        return;
    // A text that holds a key of the file or a label of the dump would
    // leave a module that can be neither read back nor saved: nothing is sent.
    if (const auto key = firstKeyInSentText(settings())) {
        QString text = kNotProgrammedText + QStringLiteral("\r") + key->dutch();
        // The POCSAG layout hides aliases 8 to 16, which are sent all the same.
        if (m_chkOntvangerPocsag->isChecked() && key->field.alias >= kPocsagAliasCount)
            text += QStringLiteral("\r") + hiddenInPocsagLayoutText(key->field.dutchName);
        m_services.prompts->showMessage(kDefaultBoxTitle, BoxIcon::Information, text);
        return;
    }
    m_writeOperation.reset();
    m_writeOperation.emplace(beginOnModule(QStringLiteral("write")));
    m_writeOperation->entry.stepCount = kProgrammingStepCount;
    m_programming->startProgramming();
    enterBusy(BusyKind::Writing);
}

void MainWindow::finishProgramming()
{
    m_lblDataUit->setEnabled(false);
    m_knownValues = settings();
    if (m_writeOperation) {
        m_writeOperation->entry.stepsSent = m_programming->stepsSent();
        m_writeOperation->backUp(m_knownValues, kWrittenBackup);
    }
    const QString problems = finishOperation(m_writeOperation, true);
    m_services.prompts->showMessage(QStringLiteral("KVR7314"), BoxIcon::Information, kProgrammedText, problems);
    leaveBusy();
}

void MainWindow::programmingFailed(const PortFailure &failure)
{
    // The session has already halted: no tick comes while the box is open.
    m_lblDataUit->setEnabled(false);
    const int sent = m_programming->stepsSent();
    if (m_writeOperation) {
        m_writeOperation->entry.stepsSent = sent;
        if (sent > 0)
            m_writeOperation->backUp(settings(), kPartlyWrittenBackup);
    }
    showPortFailure(failure, kWriteFailureText, finishOperation(m_writeOperation, false, portFailureCause(failure)));
    leaveBusy();
}

// --- Test call and no-network notice -----------------------------------------------------------

void MainWindow::sendTestCall()
{
    const QString code = m_chkOntvangerFlex->isChecked() ? m_cbxCapcode->currentText()
                                                         : m_cbxRic->currentText();
    // A typed code goes out between the parentheses as it is: one that is
    // no test-call code would be another frame (99 asks for the dump, 51 is
    // a programming step). The module takes capcodes and RI-codes only.
    if (!isTestCallCode(code)) {
        m_services.prompts->showMessage(kDefaultBoxTitle, BoxIcon::Information, notATestCallCodeText(code));
        return;
    }
    sendSingleFrame(QStringLiteral("test-call"), testCallFrame(code, m_txtTestbericht->text()));
}

void MainWindow::sendNoNetworkNotice()
{
    sendSingleFrame(QStringLiteral("no-network"), noNetworkFrame());
}

void MainWindow::sendSingleFrame(const QString &operation, const QByteArray &frame)
{
    // A call still waiting for its log line is done by now.
    finishSingleFrame(true, {});
    m_frameOperation.emplace(beginOnModule(operation));
    if (!openSerialPort(&m_frameOperation))
        return;
    m_port->writeBytes(frame);
    // The frame takes a few milliseconds on the line; a port that fails
    // meanwhile logs the call as failed.
    QTimer::singleShot(kSingleFrameWaitMs, this, [this] { finishSingleFrame(true, {}); });
}
