#include "desktop/AlertScript.h"

namespace
{
AlertScript *currentScript = nullptr;
}

AlertScript::AlertScript() : m_previous(currentScript)
{
    currentScript = this;
}

AlertScript::~AlertScript()
{
    currentScript = m_previous;
}

AlertScript *AlertScript::active()
{
    return currentScript;
}

void AlertScript::queueAnswer(int response, const QString &fieldText)
{
    m_answers.enqueue({response, fieldText});
}

void AlertScript::queuePanelChoice(const QString &path)
{
    m_choices.enqueue(path);
}

AlertAnswer AlertScript::answer(const Alert &alert)
{
    m_alerts.append(alert);
    if (m_answers.isEmpty()) return {alert.escapeResponse(), QString()};
    return m_answers.dequeue();
}

QString AlertScript::choose(PanelKind kind, const QString &title)
{
    m_panels.append({kind, title});
    return m_choices.isEmpty() ? QString() : m_choices.dequeue();
}
