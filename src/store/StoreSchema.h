#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include <memory>

class SqliteDatabase;

// Opens the task database and brings its layout to the current version. The layout is the
// resource XTaskModel.sql; PRAGMA user_version tells which of its sections a file has.
// A file that is not a task store of a version we know, or that may not be written, is
// refused untouched: it is never deleted, recreated or half upgraded.
class StoreSchema
{
public:
    static constexpr int currentVersion = 4;

    // Work done with the opening or not at all (the reset of interrupted downloads).
    using OpeningStep = std::function<bool(SqliteDatabase &)>;

    // The open, configured and current database, or null with the reason. The upgrade and
    // the step run in one transaction, and the file keeps its rollback journal: a file that
    // is refused, at whatever point, is left exactly as it was.
    static std::unique_ptr<SqliteDatabase> open(const QString &path, const OpeningStep &step,
                                                QString *reason);
    // A file of the current version, opened for reading only; nothing is created beside it
    // that was not there.
    static std::unique_ptr<SqliteDatabase> openReadOnly(const QString &path, QString *reason);
    // Switches an accepted store to its write-ahead log (kept in the file from then on).
    static bool useWriteAheadLog(SqliteDatabase &database);

private:
    static bool checkReadable(SqliteDatabase &database, int *version, QString *reason);
    static bool configure(SqliteDatabase &database);
    static bool upgradeAndRun(SqliteDatabase &database, const OpeningStep &step, QString *reason);
    static bool runSections(SqliteDatabase &database, int fromVersion, QString *reason);
    static bool fillFoldedNames(SqliteDatabase &database);
    static int readVersion(SqliteDatabase &database, bool *ok);
    // The statements of each version's section, index 0 for version 1.
    static QStringList versionSections(QString *reason);
};
