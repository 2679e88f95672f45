// zelvo-cli's diagnostic log: quiet unless asked for, by ZELVO_LOG or by a logging rule on
// the subsystem's category.
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestCliLog : public QObject
{
    Q_OBJECT

private slots:
    void shownByRule_data();
    void shownByRule();
};

void TestCliLog::shownByRule_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("shown");
    QTest::newRow("by default hidden") << ""
                                       << "" << false;
    QTest::newRow("ZELVO_LOG=1") << "ZELVO_LOG"
                                 << "1" << true;
    QTest::newRow("a rule for the media category") << "QT_LOGGING_RULES"
                                                   << "zelvo.media.info=true" << true;
    QTest::newRow("a rule for another category") << "QT_LOGGING_RULES"
                                                 << "zelvo.store.info=true" << false;
}

// With no working folder, the media inspection logs why it cannot run ffprobe.
void TestCliLog::shownByRule()
{
    QFETCH(QString, variable);
    QFETCH(QString, value);
    QFETCH(bool, shown);
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.filePath(".config"));
    environment.remove("ZELVO_LOG");
    environment.remove("QT_LOGGING_RULES");
    if (!variable.isEmpty()) environment.insert(variable, value);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QCoreApplication::applicationDirPath() + "/zelvo-cli",
                  {"info", home.filePath("missing.mp4")});
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    if (shown)
        QVERIFY2(err.contains("zelvo.media: videoEncodeNameFileURL error:"), qPrintable(err));
    else
        QCOMPARE(err, QStringLiteral("ffprobe error.\n"));
}

QTEST_GUILESS_MAIN(TestCliLog)
#include "tst_cli_log.moc"
