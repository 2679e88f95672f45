// A second process on the same history, for the tests that need one:
//   store_child save-loop DB   creates and saves tasks without end, printing "saved N"
//                              after each committed save, until it is killed;
//   store_child claim DB URL   claims the task with that URL and marks it downloading, as
//                              a download's start does, prints "claimed" or "refused",
//                              and keeps the claim until its input closes;
//   store_child create-unique DB URL   prints "ready", waits for a line on its input, then
//                              creates the task for the URL unless the history has it, and
//                              prints "created ID" or "known ID";
//   store_child queue-and-exit URL   creates a task in the shared store ($HOME) and saves
//                              it from another thread, then ends before the main thread
//                              ever runs the queued save.
#include "store/XCoreDataManagement.h"

#include <QCoreApplication>

#include <cstdio>
#include <thread>

namespace
{

int saveLoop(XCoreDataManagement &store)
{
    const QByteArray thumbnail(8192, 'x');
    for (int i = 1;; ++i) {
        auto task = store.creatTaskURL(QStringLiteral("loop-%1").arg(i), QString(), QString());
        task->setThumbnail(thumbnail);
        auto file = store.createFile(QUrl::fromLocalFile(QStringLiteral("/W/loop-%1.mp4").arg(i)));
        file->setName(QStringLiteral("loop-%1").arg(i));
        file->setTask(task);
        if (!store.save()) return 3;
        std::printf("saved %d\n", i);
        std::fflush(stdout);
    }
}

int claim(XCoreDataManagement &store, const QString &url)
{
    const auto task = store.searchURL(url).value(0);
    const auto held = task ? store.claimTask(*task) : nullptr;
    if (held) {
        task->setStatus(1);
        store.save();
    }
    std::puts(held ? "claimed" : "refused");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

int createUnique(XCoreDataManagement &store, const QString &url)
{
    std::puts("ready");
    std::fflush(stdout);
    if (std::getchar() == EOF) return 3;
    const auto [task, created] = store.creatTaskUnlessKnown(url, QString(), QString());
    if (!task) return 4;
    std::printf("%s %lld\n", created ? "created" : "known", task->rowId());
    return 0;
}

int queueAndExit(const QString &url)
{
    auto task = XCoreDataManagement::shared().creatTaskURL(url, QString(), QString());
    if (!task) return 2;
    bool queued = false;
    std::thread([&] { queued = task->save(); }).join();
    return queued && XCoreDataManagement::shared().hasChanges() ? 0 : 3;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.value(1) == QLatin1String("queue-and-exit"))
        return queueAndExit(arguments.value(2));
    XCoreDataManagement store(arguments.value(2));
    if (!store.open()) return 2;
    if (arguments.value(1) == QLatin1String("save-loop")) return saveLoop(store);
    if (arguments.value(1) == QLatin1String("claim")) return claim(store, arguments.value(3));
    if (arguments.value(1) == QLatin1String("create-unique"))
        return createUnique(store, arguments.value(3));
    return 1;
}
