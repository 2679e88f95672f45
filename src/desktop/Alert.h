#pragma once

#include <QString>
#include <QStringList>

// One alert as the windows ask for it. The buttons answer 1000, 1001, … in the order given,
// whatever order the desktop lays them out in; Return answers the first.
struct Alert {
    static constexpr int FirstButtonReturn = 1000;

    QString messageText;
    QString informativeText;
    QStringList buttons{QStringLiteral("OK")};
    // Esc's answer as an index into buttons; -1: the last button.
    int escapeButton = -1;
    // A question with a one-line text field under the texts (at most two buttons: the first
    // accepts, the second cancels).
    bool hasTextField = false;
    QString fieldText;

    int escapeResponse() const;
};

struct AlertAnswer {
    int response = Alert::FirstButtonReturn;
    QString fieldText;
};
