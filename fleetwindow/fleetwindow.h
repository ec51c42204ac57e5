#pragma once
// kvr7314-fleet: every module of a region at a glance. One row per module
// of a fleet list, live while the fleet's operations run: checked against
// its file ("Controleren"), brought in line ("Bijwerken"), written, read,
// found, put back ("Terugzetten"). The window starts the fleet's runs and
// presents them in Dutch words of its own; the list, the plan, the runs and
// the record are the fleet's and the operations' own.

#include "app/prompts.h"
#include "fleet/fleetrun.h"
#include "fleetwindow/fleetquestions.h"
#include "fleetwindow/fleetreport.h"
#include "link/networkport.h"

#include <QWidget>

#include <functional>

class FleetTableModel;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

struct FleetWindowServices {
    Prompts *prompts = nullptr;             // boxes and the file dialogs
    FleetQuestions *questions = nullptr;    // whether to write, the folder to read into
    Clock *clock = nullptr;
    QString dataDirectory;                  // its log and backups; the tool's data folder when empty
    // The port objects of each module: the demo's simulated modules; the
    // address's own kind when empty.
    std::function<SerialPortFactory(const FleetModule &module)> portsFor;
    TlsCredentials tls;                     // for the modules over TLS
};

class FleetWindow : public QWidget {
    Q_OBJECT
public:
    explicit FleetWindow(FleetWindowServices services, QWidget *parent = nullptr);
    ~FleetWindow() override;

    // Shows the list at `path`; a refused list changes nothing and says why
    // in a box. False then.
    bool openList(const QString &path);
    const QString &listPath() const { return m_listPath; }

    // The buttons' actions, each on the rows selected or else on all.
    void check();
    void update();
    void write();
    void read();
    void find();
    void undo();
    void stopRun();
    void retry();
    void askList();
    void saveSummary();
    void saveReport();

    bool isRunning() const;
    // The run under way, or the last one.
    FleetRun *run() const { return m_run; }
    FleetTableModel *model() const { return m_model; }

signals:
    // A run has ended and the window shows how.
    void runEnded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    struct Request {
        FleetAction action = FleetAction::Plan;
        WriteChoice choice;
        QString folder;   // read: where the files go
    };
    void buildLayout();
    QPushButton *button(const QString &name, const QString &text, const QString &tip, void (FleetWindow::*action)());
    // Starts `request` on `rows`; a refusal says why and sends nothing.
    void start(const Request &request, const QList<int> &rows);
    // A writing action asks first, before any module is read.
    void startWriting(FleetAction action);
    void ended();
    QList<int> targetRows() const;
    void showSelection();
    void showDetails();
    void showSummary();
    void setRunning(bool running);
    // Whether nothing runs; otherwise says so.
    bool idle();
    // Whether nothing runs and a list is open; otherwise says why.
    bool canStart();
    // Whether to write `count` modules, and how; nothing for "Nee".
    std::optional<WriteChoice> askWrite(FleetAction action, int count);
    void tell(const QString &text, const QString &details = {});
    // The table as `bytesOf` makes it, saved where the user chooses.
    void keepSummary(const QString &filter, const QString &suffix, const QString &notKept,
                     const std::function<QByteArray(const QList<FleetReportRow> &)> &bytesOf);

    FleetWindowServices m_services;
    QString m_dataDirectory;
    QString m_listPath;
    FleetTableModel *m_model;
    QSortFilterProxyModel *m_sorted;
    QTableView *m_table = nullptr;
    QLabel *m_list = nullptr;
    QLabel *m_selection = nullptr;
    QLabel *m_summary = nullptr;
    QPlainTextEdit *m_details = nullptr;
    QList<QPushButton *> m_actions;   // disabled while a run goes
    QPushButton *m_stop = nullptr;
    FleetRun *m_run = nullptr;
    Request m_last;                   // for "Opnieuw"
    QList<int> m_lastRows;
    bool m_closeWhenStopped = false;
    QList<LogEntry> m_log;            // read once per run, for the history of the row selected
};
