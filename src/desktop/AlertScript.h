#pragma once

#include "desktop/Alert.h"

#include <QList>
#include <QQueue>
#include <QString>

// Answers the alerts and panels of Alerts while it lives, so tests never block on a modal
// window: it records what was asked and answers from its queues. An alert with no answer
// queued gets its escape answer; a panel with none is cancelled.
class AlertScript
{
public:
    enum class PanelKind { Folder, File };
    struct Panel {
        PanelKind kind;
        QString title;
    };

    AlertScript();
    ~AlertScript();
    AlertScript(const AlertScript &) = delete;
    AlertScript &operator=(const AlertScript &) = delete;

    // The script in force, or null.
    static AlertScript *active();

    void queueAnswer(int response, const QString &fieldText = QString());
    // A null path cancels the panel.
    void queuePanelChoice(const QString &path);

    const QList<Alert> &alerts() const { return m_alerts; }
    const QList<Panel> &panels() const { return m_panels; }

    AlertAnswer answer(const Alert &alert);
    QString choose(PanelKind kind, const QString &title);

private:
    AlertScript *m_previous;
    QQueue<AlertAnswer> m_answers;
    QQueue<QString> m_choices;
    QList<Alert> m_alerts;
    QList<Panel> m_panels;
};
