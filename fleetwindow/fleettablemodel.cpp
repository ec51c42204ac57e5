#include "fleetwindow/fleettablemodel.h"

#include "fleetwindow/fleetwords.h"

#include <QDir>
#include <QFileInfo>

void FleetTableModel::setModules(const QList<FleetModule> &modules)
{
    beginResetModel();
    m_modules = modules;
    m_rows = QList<Row>(modules.size());
    m_run = nullptr;
    m_runRows.clear();
    endResetModel();
}

void FleetTableModel::updateModules(const QList<FleetModule> &modules)
{
    if (modules.size() != m_modules.size()) {
        setModules(modules);
        return;
    }
    m_modules = modules;
    emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void FleetTableModel::follow(FleetRun *run, const QList<int> &rows)
{
    if (m_run)
        m_run->disconnect(this);
    m_run = run;
    m_runRows = rows;
    for (int row : rows) {
        m_rows[row].state = FleetState{};
        m_rows[row].result.reset();
    }
    connect(run, &FleetRun::changed, this, &FleetTableModel::changed);
    connect(run, &FleetRun::finished, this, &FleetTableModel::ended);
    emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

FleetTableModel::Row &FleetTableModel::settle(int index)
{
    Row &r = m_rows[m_runRows[index]];
    r.result = m_run->result(index);
    if (!r.result->firmware.isEmpty())
        r.firmware = r.result->firmware;
    return r;
}

void FleetTableModel::changed(int index)
{
    const int row = m_runRows[index];
    Row &r = m_rows[row];
    r.state = m_run->state(index);
    if (r.state.stage == FleetState::Stage::Ended)
        settle(index);
    emit dataChanged(this->index(row, 0), this->index(row, ColumnCount - 1));
}

void FleetTableModel::ended()
{
    if (m_run) {
        // What a check found stays with the row until the next check.
        const bool checks = fleetActionChecks(m_run->action());
        for (int i = 0; i < m_runRows.size(); ++i) {
            Row &r = settle(i);
            r.state.stage = FleetState::Stage::Ended;
            if (checks && r.result->outcome != FleetOutcome::Stopped) {
                r.checked = r.result->outcome != FleetOutcome::Failed;
                r.differences = r.result->differences;
            }
        }
    }
    emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

int FleetTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_modules.size());
}

int FleetTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString FleetTableModel::text(int row, int column) const
{
    const FleetModule &module = m_modules[row];
    const Row &r = m_rows[row];
    const FleetOutcome outcome = r.result ? r.result->outcome : FleetOutcome::Stopped;
    switch (column) {
    case Name: return module.name;
    case Port: return module.port.name();
    case File: return module.file.isEmpty() ? QString() : QFileInfo(module.file).fileName();
    case State:
        if (!r.result && r.state.stage == FleetState::Stage::Waiting)
            return m_runRows.contains(row) && m_run ? dutchState(r.state, outcome) : QString();
        return dutchState(r.state, outcome);
    case Firmware: return r.firmware;
    case Outcome: return r.result ? dutchOutcome(r.result->outcome) : QString();
    case Cause: return r.result ? r.result->dutchCause : QString();
    default: return {};
    }
}

QVariant FleetTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::ToolTipRole:
        if (index.column() == File)
            return QDir::toNativeSeparators(m_modules[index.row()].file);
        if (index.column() == Cause)
            return text(index.row(), Cause);
        return {};
    case kProgressRole:
        return index.column() == State && !m_rows[index.row()].result ? progressOf(m_rows[index.row()].state) : -1;
    default:
        return {};
    }
}

QVariant FleetTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const names[] = {"naam", "poort", "bestand", "toestand", "firmware", "uitkomst", "oorzaak"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}
