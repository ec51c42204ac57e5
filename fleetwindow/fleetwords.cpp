#include "fleetwindow/fleetwords.h"

#include "link/frames.h"
#include "operations/outcome.h"
#include "settings/fieldtable.h"

#include <algorithm>

namespace {

// A dump is some 560 to 700 characters: its bar fills up to there.
constexpr int kTypicalDumpCharacters = 650;

QString modules(int count)
{
    return count == 1 ? QStringLiteral("1 module") : QStringLiteral("%1 modules").arg(count);
}

} // namespace

QString dutchOutcome(FleetOutcome outcome)
{
    switch (outcome) {
    case FleetOutcome::Ok: return QStringLiteral("in orde");
    case FleetOutcome::Differs: return QStringLiteral("wijkt af");
    case FleetOutcome::Failed: return QStringLiteral("mislukt");
    case FleetOutcome::Stopped: return QStringLiteral("gestopt");
    }
    return {};
}

QString dutchState(const FleetState &state, FleetOutcome outcome)
{
    const auto characters = [&state](const QString &what) {
        return state.characters > 0 ? QStringLiteral("%1: %2 tekens").arg(what).arg(state.characters) : what;
    };
    switch (state.stage) {
    case FleetState::Stage::Waiting: return QStringLiteral("wacht");
    case FleetState::Stage::Connecting: return QStringLiteral("verbinden");
    case FleetState::Stage::Checking: return characters(QStringLiteral("controleren"));
    case FleetState::Stage::Reading: return characters(QStringLiteral("lezen"));
    case FleetState::Stage::Writing: return QStringLiteral("stap %1 van %2").arg(state.step).arg(kProgrammingStepCount);
    case FleetState::Stage::WaitingToWrite:
        return state.differences > 0 ? QStringLiteral("wijkt af (%1): wacht op schrijven").arg(state.differences)
                                     : QStringLiteral("wacht op schrijven");
    case FleetState::Stage::Ended: break;
    }
    return dutchOutcome(outcome);
}

int progressOf(const FleetState &state)
{
    switch (state.stage) {
    case FleetState::Stage::Connecting: return 0;
    case FleetState::Stage::Writing: return state.step * 100 / kProgrammingStepCount;
    case FleetState::Stage::Checking:
    case FleetState::Stage::Reading: return std::min(99, state.characters * 100 / kTypicalDumpCharacters);
    default: return -1;
    }
}

QString dutchDifference(const FieldDifference &difference)
{
    QString name = difference.field;
    for (const SettingsField &field : settingsFields()) {
        if (field.key == difference.key)
            name = field.dutchName;
    }
    return QStringLiteral("%1: bestand %2, module %3").arg(name, quoted(difference.expected), quoted(difference.found));
}

QString dutchSummary(const QList<FleetOutcome> &outcomes, int total)
{
    const auto count = [&outcomes](FleetOutcome outcome) { return int(outcomes.count(outcome)); };
    QString line = QStringLiteral("%1 van %2 in orde").arg(count(FleetOutcome::Ok)).arg(modules(total));
    if (const int n = count(FleetOutcome::Differs))
        line += QStringLiteral(", %1 %2 af").arg(n).arg(n == 1 ? QStringLiteral("wijkt") : QStringLiteral("wijken"));
    if (const int n = count(FleetOutcome::Failed))
        line += QStringLiteral(", %1 mislukt").arg(n);
    if (const int n = count(FleetOutcome::Stopped))
        line += QStringLiteral(", %1 gestopt").arg(n);
    return line;
}

QString dutchVerb(FleetAction action)
{
    switch (action) {
    case FleetAction::Write: return QStringLiteral("schrijven");
    case FleetAction::Read: return QStringLiteral("lezen");
    case FleetAction::Find: return QStringLiteral("zoeken");
    case FleetAction::Plan: return QStringLiteral("controleren");
    case FleetAction::Apply: return QStringLiteral("bijwerken");
    case FleetAction::Undo: return QStringLiteral("terugzetten");
    }
    return {};
}

QString writeQuestion(FleetAction action, int count)
{
    return QStringLiteral("%1 %2?").arg(modules(count), dutchVerb(action));
}
