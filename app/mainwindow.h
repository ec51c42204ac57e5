#pragma once
// The main window frmKVR7314: it is the program. Its controls are the one
// copy of the settings; the commands read a ModuleSettings value from them
// when they need one and put loaded values back through them.
//
// The window's code is split by subject:
//   mainwindow.cpp          start-up, group rule, layouts, busy state, standard values
//   mainwindow_layout.cpp   the frames and their controls, one builder per frame
//   mainwindow_link.cpp     serial port, programming run, test call, no-network notice
//   mainwindow_readback.cpp read-back run
//   mainwindow_files.cpp    save, open, print
// What a command does to the module or a file (the port, the run, the
// backups, the log) is an operation's (operations/): the window starts it
// and shows what it reports.

#include "app/prompts.h"
#include "link/networkport.h"
#include "link/portlist.h"
#include "link/serialport.h"
#include "operations/settingsholder.h"
#include "settings/modulesettings.h"

#include <QPointer>
#include <QList>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class InfoWindow;
class ProgrammingSession;
class ReadBackSession;
class QGroupBox;
class Operation;
class WriteOperation;
class ReadOperation;
class FrameOperation;
class SaveOperation;
class OpenOperation;
struct ModuleAccess;
struct OperationContext;
struct OperationOutcome;
struct SettingsField;

// What the window is given from outside, so tests and the demo can put
// their own in place of the real dialogs, clock and serial ports.
struct WindowServices {
    Prompts *prompts = nullptr;
    Clock *clock = nullptr;
    ComDeviceMapper comDevice;        // COM n -> device; the ports the machine has when empty
    SerialPortFactory portFactory;    // a new port object; QSerialPort-based when empty
    QString dataDirectory;            // backups and the log; the tool's data folder when empty
};

enum class BusyKind { Writing, Reading };

// The window is the holder of its operations' settings: they read them from
// its controls and put loaded values back through them.
class MainWindow : public QWidget, public SettingsHolder {
    Q_OBJECT
public:
    explicit MainWindow(WindowServices services, QWidget *parent = nullptr);
    ~MainWindow() override;

    // What a connection over TLS is made with (KVR7314_TLS_CA, ...).
    void setTlsCredentials(const TlsCredentials &tls) { m_connection->setTls(tls); }
    // COM `comPort` leads to a module behind a device server, for this run
    // (--com1 rfc2217://..., or the box's context menu).
    void putNetworkAddressBehind(int comPort, const NetworkAddress &address);

    // --- Settings through the controls -------------------------------------
    ModuleSettings settings() const override;
    // Puts every field into its control, the receiver type first (so a
    // POCSAG file switches the layout before its texts appear): texts
    // through their limits, codes by selecting their boxes (group rule;
    // unknown codes keep the choice).
    void showSettings(const ModuleSettings &settings) override;
    void applyUpdate(const SettingsUpdate &update);
    // A text, timer or the version into its box, through the box's limit.
    void setFieldText(const SettingsField &field, const QString &text) override;

    // --- Window state ------------------------------------------------------
    QString comPort() const { return m_comPort; }
    QString monthName() const { return m_monthName; }
    static QString programVersion() { return kProgramVersion; }
    bool isBusy() const { return m_busy.has_value(); }

    // Enter: the nine buttons off, the run's LED label on (reading also
    // hides the version). Leave: the nine buttons on again, in the order
    // the run gives; LEDs and labels are the run's own business.
    void enterBusy(BusyKind kind);
    void leaveBusy();

    // --- Commands (the buttons) ---------------------------------------------
    // "schrijven": the busy state, then the write operation runs; its end
    // (finishProgramming) shows its box.
    void startProgramming();
    void sendTestCall();
    void sendNoNetworkNotice();

    // "lezen": the busy state, then the read operation runs (the aliases
    // are empty meanwhile); its end (finishReadBack) shows the module's
    // settings, or why there are none.
    void startReadBack();

    void saveSettings();
    void openSettings();
    // Opens a settings file as "openen" does once its dialog has chosen it:
    // a file given at the start or dropped on the window.
    void openSettingsFile(const QString &path);

    // A paste of several lines into alias box `index` (0..15): one line for
    // it and each alias after it, a column of texts or two columns (number
    // and text) from a spreadsheet. A line the boxes cannot take, or more
    // lines than there are boxes, changes nothing and says why in a box.
    void pasteAliasLines(int index, const QString &text);
    void printReport();

    void showInfoWindow();

    // The port the last operation opened (RS232), whichever opened it.
    SerialPort *serialPort() const;
    // The runs of "schrijven" and "lezen", whose ticks tests drive.
    ProgrammingSession &programmingSession() const;
    ReadBackSession &readBackSession() const;
    InfoWindow *infoWindow() const;  // null until "Infoscherm" was first pressed

protected:
    void closeEvent(QCloseEvent *event) override;
    // One .kvr file dropped on the window opens as "openen" would; anything
    // else is not taken.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // --- Layout: one builder per frame ----------------------------------------
    void buildLayout();
    QGroupBox *buildAliasFrame();
    QGroupBox *buildIdleTextFrame();
    QGroupBox *buildCouplingTextFrame();
    QGroupBox *buildTimerFrame();
    QGroupBox *buildChoiceFrame(const QString &name, const QString &caption, const SettingsField &field);
    QGroupBox *buildPortFrame();
    QGroupBox *buildTestCallFrame();
    QGroupBox *buildReceiverFrame();
    QWidget *buildLogo();
    QGroupBox *buildFileFrame();
    QGroupBox *buildProgramFrame();
    QGroupBox *buildLinkFrame();
    void buildCloseButtons();
    void setReadingOrder();
    void connectCommands();

    // Each field's box, or the check boxes of its choice, by the field
    // table's objectNames.
    struct FieldControls {
        const SettingsField *field;
        QLineEdit *edit;
        QList<QCheckBox *> choices;   // in the order of the field's code table
    };
    void findFieldControls();
    const FieldControls &controlsOf(const SettingsField &field) const;

    void createOperations();
    void runStartUp();
    void connectGroupRule();
    void applyReceiverLayout(ReceiverType type);
    void selectBox(QCheckBox *box);
    void selectReceiver(ReceiverType type);
    // Texts, timers, codes and the version, in the order the loaders take them.
    void showValues(const ModuleSettings &settings);

    // How the window's operations reach the module: COM comPort, asked
    // when the port opens, on the device the box leads to; the port stays
    // open after an operation until the next one opens it.
    ModuleAccess moduleAccess();
    // RS232: before an operation opens the port, the object the last one
    // opened goes first, so its port is closed before the same device is
    // opened again.
    void releasePorts();
    // The network address put behind COM `comPort`, if one is.
    std::optional<NetworkAddress> networkBehind(int comPort) const;
    // The serial device COM `comPort` leads to now: the one the machine or
    // --com gives it.
    QString comDevice(int comPort) const;
    // Each COM box's tooltip names its device as the system knows it now,
    // or its network address and the kind of it (without a name lookup).
    bool eventFilter(QObject *watched, QEvent *event) override;
    QString comToolTip(int comPort, const QList<FoundPort> &ports) const;
    // A COM box's context menu: put a network address behind it for this
    // run, or take it away again.
    void showComMenu(int comPort, const QPoint &where);
    void askNetworkAddress(int comPort);

    // The end of a run: its LED label off, its box, the buttons back.
    void finishProgramming(const OperationOutcome &outcome);
    void finishReadBack(const OperationOutcome &outcome);
    // An operation's box, if it has one.
    void present(const OperationOutcome &outcome);

    WindowServices m_services;

    // Window state
    QString m_comPort;
    // Network addresses put behind the COM boxes through their menus.
    std::array<std::optional<NetworkAddress>, kComPortCount> m_networkBehind;
    // The connection of the running operation to a module behind the network.
    std::shared_ptr<ModuleConnection> m_connection = std::make_shared<ModuleConnection>();
    QString m_monthName;
    std::optional<BusyKind> m_busy;

    // The window's operations, for its whole life: each owns its port,
    // timers and state machine.
    WriteOperation *m_write = nullptr;
    ReadOperation *m_read = nullptr;
    FrameOperation *m_frame = nullptr;   // test call, no-network notice
    SaveOperation *m_save = nullptr;
    OpenOperation *m_open = nullptr;

    std::vector<FieldControls> m_fieldControls;   // in field table order

    // Where the backups and the log go.
    QString m_dataDirectory;

    // File dialog: the file name carries over from one use to the next.
    QString m_dialogFileName;

    QPointer<InfoWindow> m_infoWindow;

    // Controls, by their objectNames.
    std::array<QLineEdit *, kAliasCount> m_aliasEdits{};
    std::array<QLabel *, kAliasCount> m_aliasLabels{};
    QLabel *m_lblPocsagAan = nullptr;
    QLabel *m_lblVersie = nullptr;
    QLineEdit *m_txtVersie = nullptr;
    std::array<QCheckBox *, 4> m_chkCom{};
    QComboBox *m_cbxCapcode = nullptr;
    QComboBox *m_cbxRic = nullptr;
    QLabel *m_lblCapcode = nullptr;
    QLabel *m_lblRicode = nullptr;
    QLineEdit *m_txtTestbericht = nullptr;
    QPushButton *m_cmdTestBericht = nullptr;
    QPushButton *m_cmdGeenNetwerk = nullptr;
    QCheckBox *m_chkOntvangerFlex = nullptr;
    QCheckBox *m_chkOntvangerPocsag = nullptr;
    QPushButton *m_cmdOpen = nullptr;
    QPushButton *m_cmdSave = nullptr;
    QPushButton *m_cmdPrint = nullptr;
    QPushButton *m_cmdLeesModule = nullptr;
    QPushButton *m_cmdPrgModule = nullptr;
    QLabel *m_imgLedDataIn = nullptr;
    QLabel *m_lblDataIn = nullptr;
    QLabel *m_imgLedDataUit = nullptr;
    QLabel *m_lblDataUit = nullptr;
    QPushButton *m_cmdInfo = nullptr;
    QPushButton *m_cmdAfsluiten = nullptr;
    QLineEdit *m_txtInlezen = nullptr;   // hidden receive buffer of the read-back run
};
