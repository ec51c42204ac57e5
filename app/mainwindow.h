#pragma once
// The main window frmKVR7314: it is the program. Its controls are the one
// copy of the settings; the commands read a ModuleSettings value from them
// when they need one and put loaded values back through them.
//
// The window's code is split by subject:
//   mainwindow.cpp          layout, start-up, group rule, layouts, busy state, standard values
//   mainwindow_link.cpp     serial port, programming run, test call, no-network notice
//   mainwindow_readback.cpp read-back run
//   mainwindow_files.cpp    save, open, print

#include "app/prompts.h"
#include "link/programmingrun.h"
#include "link/serialport.h"
#include "readback/readbackrun.h"
#include "settings/modulesettings.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class InfoWindow;

// What the window is given from outside, so tests and the demo can put
// their own in place of the real dialogs, clock and serial ports.
struct WindowServices {
    Prompts *prompts = nullptr;
    Clock *clock = nullptr;
    ComDeviceMapper comDevice;        // COM n -> device path; defaultComDevice when empty
    SerialPortFactory portFactory;    // a new port object; QSerialPort-based when empty
};

enum class BusyKind { Writing, Reading };

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(WindowServices services, QWidget *parent = nullptr);
    ~MainWindow() override;

    // --- Settings through the controls -------------------------------------
    ModuleSettings settings() const;
    // Puts every field into its control: texts through their limits, codes
    // by selecting their boxes (group rule; unknown codes keep the choice).
    void showSettings(const ModuleSettings &settings);
    void applyUpdate(const SettingsUpdate &update);
    void setTimerText(TimerField field, const QString &text);

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

    // Dutch month name with a space on each side, for a month 1..12.
    static QString monthNameFor(int month);

    // --- Commands (the buttons) ---------------------------------------------
    void startProgramming();
    void programmingTick();
    void finishProgramming();
    void sendProgrammingStep(int step);
    void sendTestCall();
    void sendNoNetworkNotice();

    void startReadBack();
    void pollReceive();
    void finishReadBack();
    void failReadBack();
    void blinkDataLed();

    void saveSettings();
    void openSettings();
    void printReport();

    void showInfoWindow();

    // Opens COM comPort on a fresh port object. On failure shows the
    // "Communicatiefout!" box and returns false; the caller abandons its
    // operation, and the program keeps running with its settings.
    bool openSerialPort();

    SerialPort *serialPort() const { return m_port.get(); }
    InfoWindow *infoWindow() const;  // null until "Infoscherm" was first pressed

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildLayout();
    void runStartUp();
    void connectGroupRule();
    void applyReceiverLayout(ReceiverType type);
    void selectBox(QCheckBox *box);
    // Stops a programming run where it stands (timer, LED, label) without
    // the success box; the caller shows its box and leaves the busy state.
    void abortProgramming();
    // Connected to the open port's failed(): once per opening, it halts the
    // run in progress (abortProgramming / abortReadBack) BEFORE its modal
    // "Communicatiefout!" box, so no tick comes while the box is open, then
    // leaves the busy state. Also reports a failed test call.
    void reportWriteFailure();
    void restoreAliasesAfterFailedRead();
    // Ends a read-back whose port failed (reportWriteFailure calls it while
    // the window is busy reading): timers stopped, LED off, aliases back.
    // The caller shows its box and then leaves the busy state.
    void abortReadBack();

    WindowServices m_services;

    // Window state
    QString m_comPort;
    QString m_monthName;
    std::optional<BusyKind> m_busy;

    // Serial object RS232: replaced on every opening.
    std::unique_ptr<SerialPort> m_port;
    bool m_portFailed = false;  // a write failure was reported for this port

    // Programming run
    ProgrammingRun m_programming;
    QTimer *m_tmrPauze = nullptr;

    // Read-back run
    QTimer *m_tmrInlezen = nullptr;
    QTimer *m_tmrVerwerkenData = nullptr;
    QTimer *m_tmrKnippertijdLed = nullptr;
    QTimer *m_tmrFirstPoll = nullptr;
    std::array<QString, kAliasCount> m_aliasesBeforeRead;
    ReadBackRun m_readBack;

    // File dialog: the file name carries over from one use to the next.
    QString m_dialogFileName;

    QPointer<InfoWindow> m_infoWindow;

    // Controls, by their objectNames.
    std::array<QLineEdit *, kAliasCount> m_aliasEdits{};
    std::array<QLabel *, kAliasCount> m_aliasLabels{};
    QLabel *m_lblPocsagAan = nullptr;
    std::array<QLineEdit *, 5> m_timerEdits{};   // kTimerFields order
    QCheckBox *m_chkStandaardTimers = nullptr;
    QLabel *m_lblVersie = nullptr;
    QLineEdit *m_txtVersie = nullptr;
    std::array<QCheckBox *, 3> m_chkKleurAlias{};    // kColourChoices order
    std::array<QCheckBox *, 3> m_chkKleurBericht{};
    std::array<QCheckBox *, 3> m_chkKleurKoppel{};
    std::array<QCheckBox *, 5> m_chkSnelheid{};
    QCheckBox *m_chkLcdStandaardTekst = nullptr;
    QLineEdit *m_txtLcdRust = nullptr;
    QCheckBox *m_chkStandaardKoppeltekst = nullptr;
    QLineEdit *m_txtKoppeltekst = nullptr;
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
