#include "platform/Dispatch.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

#include <deque>
#include <mutex>

namespace
{

// The functions cross to the main thread through a standard mutex, so that ThreadSanitizer
// sees the hand-off; Qt's event queue only carries the wake-up, which holds nothing of ours
// (a functor handed to invokeMethod is freed under a reference count inside Qt, unseen).
class MainQueue : public QObject
{
    Q_OBJECT
public:
    MainQueue() { moveToThread(QCoreApplication::instance()->thread()); }

    void post(std::function<void()> fn)
    {
        {
            std::lock_guard lock(m_mutex);
            m_functions.push_back(std::move(fn));
        }
        QMetaObject::invokeMethod(this, "runPosted", Qt::QueuedConnection);
    }

private slots:
    void runPosted()
    {
        std::deque<std::function<void()>> functions;
        {
            std::lock_guard lock(m_mutex);
            functions.swap(m_functions);
        }
        for (auto &fn : functions)
            fn();
    }

private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_functions;
};

} // namespace

void dispatchMain(std::function<void()> fn)
{
    static MainQueue *const queue = new MainQueue; // lives as long as the application runs
    queue->post(std::move(fn));
}

#include "Dispatch.moc"
