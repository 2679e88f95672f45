// ToolRunner's promise: no run outlives its time limit or its cancellation, and neither does
// anything the tool started.
#include "platform/ToolCancellation.h"
#include "platform/ToolRunner.h"
#include "support/FakeExecutable.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

namespace
{

// A tool that starts a long sleep of its own, notes its pid, says so and waits for it.
const char *hangingTool = "sleep 60 &\necho $! > \"$1\"\necho started\nwait\n";

bool isAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    const QByteArray fields = stat.readAll();
    const qsizetype state = fields.lastIndexOf(')') + 2;
    return state < fields.size() && fields.at(state) != 'Z';
}

} // namespace

class TestToolRunner : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;

    qint64 grandchild() const
    {
        QFile file(m_folder.filePath(QStringLiteral("pid")));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
    }

private slots:
    void init() { QFile::remove(m_folder.filePath(QStringLiteral("pid"))); }
    void timeLimitEndsTheToolAndWhatItStarted();
    void cancellationFromAnotherThreadEndsTheRun();
    void nothingStartsOnceCancelled();
};

void TestToolRunner::timeLimitEndsTheToolAndWhatItStarted()
{
    const QString tool =
        FakeExecutable::write(m_folder.filePath(QStringLiteral("hang")), hangingTool);
    QElapsedTimer timer;
    timer.start();
    const ToolRunner::Outcome outcome =
        ToolRunner::run(tool, {m_folder.filePath(QStringLiteral("pid"))}, {300, {}});
    QVERIFY(timer.elapsed() < 10'000);
    QVERIFY(outcome.started);
    QVERIFY(outcome.timedOut);
    QVERIFY(!outcome.exitedCleanly());
    QCOMPARE(outcome.standardOutput, QByteArray("started\n"));
    QVERIFY(grandchild() > 0);
    QTRY_VERIFY(!isAlive(grandchild()));
}

void TestToolRunner::cancellationFromAnotherThreadEndsTheRun()
{
    const QString tool =
        FakeExecutable::write(m_folder.filePath(QStringLiteral("hang")), hangingTool);
    ToolCancellation cancellation;
    ToolRunner::Outcome outcome;
    std::thread worker([&] {
        ToolCancellation::Scope scope(cancellation);
        outcome = ToolRunner::run(tool, {m_folder.filePath(QStringLiteral("pid"))});
    });
    QTRY_VERIFY(grandchild() > 0);
    QElapsedTimer timer;
    timer.start();
    cancellation.cancel();
    worker.join();
    QVERIFY(timer.elapsed() < 10'000);
    QVERIFY(outcome.started);
    QVERIFY(outcome.cancelled);
    QVERIFY(!outcome.timedOut);
    QVERIFY(!outcome.exitedCleanly());
    QTRY_VERIFY(!isAlive(grandchild()));
}

void TestToolRunner::nothingStartsOnceCancelled()
{
    const QString mark = m_folder.filePath(QStringLiteral("ran"));
    const QString tool =
        FakeExecutable::write(m_folder.filePath(QStringLiteral("touch")), "touch \"$1\"\n");
    ToolCancellation cancellation;
    cancellation.cancel();
    ToolCancellation::Scope scope(cancellation);
    const ToolRunner::Outcome outcome = ToolRunner::run(tool, {mark});
    QVERIFY(!outcome.started);
    QVERIFY(outcome.cancelled);
    QVERIFY(!QFile::exists(mark));
}

QTEST_GUILESS_MAIN(TestToolRunner)
#include "tst_tool_runner.moc"
