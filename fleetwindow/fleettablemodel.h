#pragma once
// The fleet window's table: one row per module of the list, in the list's
// order, with where it stands and how the last action on it ended. A run
// over some of the rows updates those as it goes; the others keep what
// they showed.

#include "fleet/fleetrun.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

class FleetTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Port, File, State, Firmware, Outcome, Cause, ColumnCount };
    // 0..100 while a module runs, for its progress bar; -1 otherwise.
    static constexpr int kProgressRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    // A list: every row anew, nothing run yet.
    void setModules(const QList<FleetModule> &modules);
    const QList<FleetModule> &modules() const { return m_modules; }
    // Each module of the same list planned again (its file may have
    // changed): what the rows showed stays.
    void updateModules(const QList<FleetModule> &modules);

    // `run` goes over the rows `rows` (its module i is row rows[i]).
    void follow(FleetRun *run, const QList<int> &rows);

    // How the last action ended on each row; nothing for a row it did not touch.
    const std::optional<FleetResult> &result(int row) const { return m_rows[row].result; }
    // What the last check found different on each row.
    const QList<FieldDifference> &differences(int row) const { return m_rows[row].differences; }
    bool wasChecked(int row) const { return m_rows[row].checked; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        FleetState state;
        std::optional<FleetResult> result;
        QList<FieldDifference> differences;
        bool checked = false;
        QString firmware;   // the last the module reported
    };
    // The run's module `index` has ended: its row takes the result, and the
    // firmware it reported.
    Row &settle(int index);
    void changed(int index);
    void ended();
    QString text(int row, int column) const;

    QList<FleetModule> m_modules;
    QList<Row> m_rows;
    QPointer<FleetRun> m_run;
    QList<int> m_runRows;
};
