// Replacing a file: on one file system and across two, and every failure keeps the original.
#include "platform/SafeFileMove.h"
#include "support/FileContents.h"
#include "support/TestRows.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace
{
dev_t deviceOf(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_dev : 0;
}

// A folder nothing may be written into: permissions for a user, immutable for root.
bool lockFolder(const QString &folder)
{
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0) return true;
    return QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}) == 0;
}

void unlockFolder(const QString &folder)
{
    QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), folder});
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
} // namespace

class TestSafeFileMove : public QObject
{
    Q_OBJECT

private slots:
    void replace_data()
    {
        QTest::addColumn<bool>("acrossFileSystems");
        QTest::addColumn<QString>("obstacle");
        addRow("one file system", false, "");
        addRow("across file systems", true, "");
        addRow("one file system, folder locked", false, "locked");
        addRow("across file systems, folder locked", true, "locked");
        // The copy succeeds and its rename fails: the copy must go, the folder stay.
        addRow("across file systems, target a folder", true, "folder");
    }

    void replace()
    {
        QFETCH(bool, acrossFileSystems);
        QFETCH(QString, obstacle);
        QTemporaryDir targetDir;
        QTemporaryDir sourceDir(acrossFileSystems ? "/dev/shm/zelvo-replace-XXXXXX"
                                                  : targetDir.filePath("source-XXXXXX"));
        QVERIFY(targetDir.isValid() && sourceDir.isValid());
        if (acrossFileSystems && deviceOf(sourceDir.path()) == deviceOf(targetDir.path()))
            QSKIP("/dev/shm and the temporary folder share a file system here");
        const QString folder = targetDir.filePath("videos");
        QVERIFY(QDir().mkpath(folder));
        const QString source = sourceDir.filePath("swap.mp4");
        const QString target = QDir(folder).filePath("clip 视频.mp4");
        QVERIFY(FileContents::write(source, "trimmed"));
        if (obstacle == "folder")
            QVERIFY(QDir().mkpath(QDir(target).filePath("inside")));
        else
            QVERIFY(FileContents::write(target, "original"));
        const QByteArray before = obstacle == "folder" ? QByteArray() : FileContents::read(target);
        if (obstacle == "locked") QVERIFY(lockFolder(folder));
        const auto unlock = qScopeGuard([&] { unlockFolder(folder); });

        QString error;
        const bool replaced = SafeFileMove::replace(source, target, &error);
        unlockFolder(folder);
        QCOMPARE(replaced, obstacle.isEmpty());
        if (replaced) {
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QCOMPARE(FileContents::read(target), QByteArray("trimmed"));
            QVERIFY(!QFile::exists(source));
        } else {
            QVERIFY(!error.isEmpty());
            QCOMPARE(FileContents::read(source), QByteArray("trimmed"));
            if (obstacle == "folder")
                QVERIFY(QFileInfo(target).isDir());
            else
                QCOMPARE(FileContents::read(target), before);
        }
        // Nothing else is left beside the target: no temporary copy.
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QFileInfo(target).fileName()});
    }
};

QTEST_GUILESS_MAIN(TestSafeFileMove)
#include "tst_safe_file_move.moc"
