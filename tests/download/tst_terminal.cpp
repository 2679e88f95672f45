// NSterminal: one program run to its end, its text back.
#include "download/NSterminal.h"
#include "support/FakeExecutable.h"
#include "support/LogCapture.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestTerminal : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;

    QString program(const QString &name, const QString &body)
    {
        return FakeExecutable::write(m_folder.filePath(name), body);
    }

private slots:
    void result_data();
    void result();
    void launchFailure();
    void bareNameIsNotSearchedOnThePath();
    void largeOutputOnBothStreams();
    void printTaskSH();
};

void TestTerminal::result_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("expected"); // "<null>" for a null result

    QTest::newRow("standard output") << "echo out; echo err >&2; exit 3\n"
                                     << "out\n";
    QTest::newRow("only standard error") << "echo err >&2\n"
                                         << "err\n";
    QTest::newRow("nothing") << "exit 1\n"
                             << "<null>";
    QTest::newRow("invalid UTF-8 output falls back") << "printf '\\377'; echo err >&2\n"
                                                     << "err\n";
    QTest::newRow("arguments arrive as words") << "printf '%s|' \"$@\"\n"
                                               << "a b|'c'|$d|";
}

void TestTerminal::result()
{
    QFETCH(QString, body);
    QFETCH(QString, expected);
    QString error = QStringLiteral("untouched");
    const QString output = NSterminal::order(program("p", body), {"a b", "'c'", "$d"}, &error);
    if (expected == QLatin1String("<null>"))
        QVERIFY(output.isNull());
    else
        QCOMPARE(output, expected);
    QCOMPARE(error, QStringLiteral("untouched"));
}

void TestTerminal::launchFailure()
{
    QString error;
    QVERIFY(NSterminal::order(m_folder.filePath("missing"), {}, &error).isNull());
    QVERIFY(!error.isEmpty());
    QVERIFY(NSterminal::order(m_folder.filePath("missing"), {}).isNull()); // no out-parameter
}

void TestTerminal::bareNameIsNotSearchedOnThePath()
{
    QString error;
    QVERIFY(NSterminal::order(QStringLiteral("sh"), {"-c", "echo found"}, &error).isNull());
    QVERIFY(!error.isEmpty());
}

void TestTerminal::largeOutputOnBothStreams()
{
    const QString path = program("big", "head -c 2000000 /dev/zero | tr '\\0' e >&2\n"
                                        "head -c 3000000 /dev/zero | tr '\\0' o\n");
    QElapsedTimer timer;
    timer.start();
    const QString output = NSterminal::order(path, {});
    QCOMPARE(output.size(), 3000000);
    QVERIFY(timer.elapsed() < 20000);
}

void TestTerminal::printTaskSH()
{
    QProcess process;
    process.setProgram(QStringLiteral("/usr/bin/ffprobe"));
    process.setArguments({"-v", "a b"});
    LogCapture log;
    NSterminal::printTaskSH(process);
    QCOMPARE(log.lines(), QStringList{"Order: /usr/bin/ffprobe -v a b"});
}

QTEST_GUILESS_MAIN(TestTerminal)
#include "tst_terminal.moc"
