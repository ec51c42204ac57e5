#pragma once
// What the fleet window asks in a dialog of its own, behind one small
// interface so tests answer from a script and never block on a modal
// window: whether to write (and how), which folder to read into, and
// whether to stop the modules that run.

#include <QString>

#include <optional>

// How a write goes, as the dialog that asks for it offers.
struct WriteChoice {
    int canary = 0;   // this many first, the others once they ended ok; 0: all at once
    int jobs = 0;     // at most this many at once; 0: all
};

class FleetQuestions {
public:
    virtual ~FleetQuestions() = default;
    // "3 modules bijwerken?" with "Ja" and "Nee", the canary and the number
    // at once as options; nothing for "Nee".
    virtual std::optional<WriteChoice> confirmWrite(const QString &question, int modules) = 0;
    // The folder to read the modules into, starting at `folder`; nothing
    // when the user cancelled.
    virtual std::optional<QString> askFolder(const QString &folder) = 0;
    // "Ja" or "Nee" to `question`.
    virtual bool askYesNo(const QString &question) = 0;
};
