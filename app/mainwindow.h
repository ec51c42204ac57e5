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
// The timed runs themselves are sessions (link/, readback/): the window
// starts them and shows what they report.

#include "app/prompts.h"
#include "files/journal.h"
#include "link/serialport.h"
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
struct DumpParse;
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

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(WindowServices services, QWidget *parent = nullptr);
    ~MainWindow() override;

    // --- Settings through the controls -------------------------------------
    ModuleSettings settings() const;
    // Puts every field into its control, the receiver type first (so a
    // POCSAG file switches the layout before its texts appear): texts
    // through their limits, codes by selecting their boxes (group rule;
    // unknown codes keep the choice).
    void showSettings(const ModuleSettings &settings);
    void applyUpdate(const SettingsUpdate &update);
    // A text, timer or the version into its box, through the box's limit.
    void setFieldText(const SettingsField &field, const QString &text);

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
    // "schrijven": the busy state, then the programming session runs; its
    // end (finishProgramming) shows the success box.
    void startProgramming();
    void sendTestCall();
    void sendNoNetworkNotice();

    // "lezen": the busy state, aliases emptied, then the read-back session
    // runs; its end shows the module's settings (finishReadBack) or the
    // no-data box (failReadBack).
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

    // Opens COM comPort for a test call or the no-network notice. On failure
    // shows the "Communicatiefout!" box and returns false; the caller
    // abandons its operation, and the program keeps running.
    // A test call or no-network notice passes its log operation, which a
    // failure ends before the box shows.
    bool openSerialPort(std::optional<Journal::Operation> *operation = nullptr);

    // The port the last operation opened (RS232), whichever opened it.
    SerialPort *serialPort() const;
    ProgrammingSession &programmingSession() const { return *m_programming; }
    ReadBackSession &readBackSession() const { return *m_readBack; }
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

    void createSessions();
    void runStartUp();
    void connectGroupRule();
    void applyReceiverLayout(ReceiverType type);
    void selectBox(QCheckBox *box);
    void selectReceiver(ReceiverType type);
    // Texts, timers, codes and the version, in the order the loaders take them.
    void showValues(const ModuleSettings &settings);

    // RS232: a fresh port object for whichever operation opens the port
    // next. The object the last operation opened goes first, so its port is
    // closed before the same device is opened again.
    std::unique_ptr<SerialPort> newSerialPort();
    void showOpenFailure(const PortFailure &failure, const QString &problems = {});
    // The box of a timed run's port failure: why the port could not be
    // opened, or the run's own words for a line that failed on the way.
    void showPortFailure(const PortFailure &failure, const QString &lineFailedText, const QString &problems = {});
    // The device COM `comPort` leads to now.
    QString comDevice(int comPort) const;
    // Each COM box's tooltip names its device as the system knows it now.
    bool eventFilter(QObject *watched, QEvent *event) override;

    // What the sessions report.
    void finishProgramming();
    void programmingFailed(const PortFailure &failure);
    void finishReadBack(const DumpParse &parse);
    void failReadBack();
    void readBackFailed(const PortFailure &failure);
    void endReadBack();
    // A failed write of a test call or the no-network notice.
    void reportWriteFailure();
    void restoreAliasesAfterFailedRead();
    // Sends a test call or the no-network notice, logged as `operation`.
    void sendSingleFrame(const QString &operation, const QByteArray &frame);

    // --- What the window keeps of its operations (the log, the backups) ------
    // An operation on the module: the port COM `comPort` leads to, and what
    // the system knows of its adapter.
    Journal::Operation beginOnModule(const QString &operation);
    // The operation's log line. What could not be kept, in Dutch, for a box's
    // details; empty when all was kept.
    QString finishOperation(std::optional<Journal::Operation> &op, bool ok, const QString &cause = {});
    // For an operation that ends without a box of its own: a box only when
    // something could not be kept.
    void showJournalProblems(const QString &problems);
    // The log line of a test call or no-network notice, once its frame has
    // had time to leave or its port failed.
    void finishSingleFrame(bool ok, const QString &cause);
    // Why a timed run's port failed, in the log's words.
    QString portFailureCause(const PortFailure &failure) const;

    WindowServices m_services;

    // Window state
    QString m_comPort;
    QString m_monthName;
    std::optional<BusyKind> m_busy;

    // The timed runs, each with its port, timers and state machine.
    ProgrammingSession *m_programming = nullptr;
    ReadBackSession *m_readBack = nullptr;
    // The port of a test call or no-network notice.
    std::unique_ptr<SerialPort> m_port;
    bool m_portFailed = false;  // a write failure was reported for this port


    std::vector<FieldControls> m_fieldControls;   // in field table order

    Journal m_journal;
    // The values last opened, saved, read or written (at first: those of the
    // start): a read that replaces other values keeps them first.
    ModuleSettings m_knownValues;
    ModuleSettings m_valuesBeforeRead;
    std::optional<Journal::Operation> m_readOperation;
    std::optional<Journal::Operation> m_writeOperation;
    std::optional<Journal::Operation> m_frameOperation;   // test call, no-network notice

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
