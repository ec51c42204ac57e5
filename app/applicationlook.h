#pragma once
// What the program looks like beyond its own window: its icon (the picture
// of the menu entry), and Qt's own dialogs (the file and print dialogs, the
// standard buttons) in Dutch like the rest of the program.

#include <QIcon>

class QCoreApplication;

// The program's icon at every size it was drawn in; empty when the program
// was built without it (the tests, the tools).
QIcon applicationIcon();

// Loads Qt's Dutch translation (qtbase_nl) from Qt's own translation folder,
// or from "translations" beside the program (the Windows release). False
// when there is none: Qt's texts then stay English.
bool loadDutchQtTranslation(QCoreApplication &app);

// The Dutch words of the program, for everything the program's own code
// formats (dates in Qt's dialogs) and for the icon and translation above:
// what both the tool and the demo do before they show a window.
void applyApplicationLook(QCoreApplication &app);
