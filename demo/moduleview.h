#pragma once
// A picture of the simulated module's front: its four-line LCD (bright
// green with the backlight on, dull without), its LED sign with each part
// of the text in its colour, and lamps for the relay and the backlight.
// It only shows a ModuleDisplay; what to show is worked out in sim/.

#include "sim/moduledisplay.h"

#include <QWidget>

#include <array>

class QFrame;
class QLabel;

class ModuleView : public QWidget {
    Q_OBJECT
public:
    explicit ModuleView(const QString &devicePath, QWidget *parent = nullptr);

    // What the module shows, and the times it holds (so a user sees why
    // a message goes away, or never appears with a time of 0).
    void showModule(const ModuleDisplay &display, const ModuleSettings &stored);

    // The sign's text as rich text, each segment in its colour.
    static QString signHtml(const QList<SignSegment> &sign);
    // What the view shows, in words (its accessible description).
    static QString describe(const ModuleDisplay &display);

private:
    QFrame *m_lcd = nullptr;
    std::array<QLabel *, kLcdLineCount> m_lcdLines{};
    QLabel *m_sign = nullptr;
    QLabel *m_relay = nullptr;
    QLabel *m_backlight = nullptr;
    QLabel *m_times = nullptr;
};
