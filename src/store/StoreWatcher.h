#pragma once

#include <QObject>
#include <QTimer>

#include <memory>

class ObjectContext;
class TaskEvents;

// Once a second on the main thread, brings a store's records up to date with what other
// processes (zelvo-cli and the application share one history) committed, and posts the
// differences as task events. Asking SQLite whether anything was committed costs next to
// nothing; the rows are read only when something was.
class StoreWatcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int intervalMs = 1000;

    // Lives on the main thread; starts there, whichever thread makes it.
    StoreWatcher(std::weak_ptr<ObjectContext> context, TaskEvents &events);

private:
    void refresh();

    std::weak_ptr<ObjectContext> m_context;
    TaskEvents &m_events;
    QTimer m_timer;
};
