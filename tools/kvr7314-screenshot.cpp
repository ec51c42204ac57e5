// Renders the main window offscreen to the README's pictures:
//   kvr7314-screenshot <folder>
// writes main-window-flex.png, main-window-pocsag.png and info-window.png
// into <folder>.
// The dialogs are scripted and the clock fixed, so nothing modal can open.

#include "app/infowindow.h"
#include "app/mainwindow.h"
#include "support/scriptedprompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>

#include <cstdio>

namespace {

// A plausible set-up of a fire station, so the picture shows filled fields.
void fillExample(MainWindow &window)
{
    const char *aliases[] = {
        "Brandweer Noord", "Brandweer Zuid", "Ambulance post 3", "Officier van dienst",
        "Duikteam", "Hoogwerker", "Tankautospuit 1", "Tankautospuit 2",
        "Redvoertuig", "Waterongevallen", "Gaspakken", "Verbindingen",
        "Commandowagen", "Materieel", "Oefening", "Proefalarm",
    };
    for (int i = 0; i < kAliasCount; ++i) {
        auto *edit = window.findChild<QLineEdit *>(QStringLiteral("Txt_Alias%1").arg(i + 1, 2, 10, QLatin1Char('0')));
        edit->setText(QString::fromLatin1(aliases[i]));
    }
    window.findChild<QCheckBox *>(QStringLiteral("Chk_LCD_Standaard_Tekst"))->setChecked(true);
    window.findChild<QCheckBox *>(QStringLiteral("Chk_Standaard_Koppeltekst"))->setChecked(true);
    window.findChild<QCheckBox *>(QStringLiteral("Chk_Standaard_Timers"))->setChecked(true);
    window.findChild<QLineEdit *>(QStringLiteral("Txt_Testbericht"))->setText(QStringLiteral("Proefalarm"));
}

bool save(QWidget &window, const QString &path)
{
    if (window.grab().save(path))
        return true;
    std::fprintf(stderr, "kvr7314-screenshot: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvr7314-screenshot <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    ScriptedPrompts prompts;
    FixedClock clock;
    MainWindow window(WindowServices{&prompts, &clock, {}, {}, {}});
    fillExample(window);
    window.show();

    bool ok = save(window, folder.filePath(QStringLiteral("main-window-flex.png")));
    window.findChild<QCheckBox *>(QStringLiteral("ChkOntvanger_Pocsag"))->click();
    ok = save(window, folder.filePath(QStringLiteral("main-window-pocsag.png"))) && ok;
    window.showInfoWindow();
    ok = save(*window.infoWindow(), folder.filePath(QStringLiteral("info-window.png"))) && ok;
    delete window.infoWindow();
    return ok ? 0 : 1;
}
