#include "store/StoreSchema.h"

#include "platform/Resources.h"
#include "store/SqliteDatabase.h"
#include "store/SqliteStatement.h"
#include "store/TextFold.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace
{

constexpr int busyTimeoutMilliseconds = 5000;

} // namespace

std::unique_ptr<SqliteDatabase> StoreSchema::open(const QString &path, const OpeningStep &step,
                                                  QString *reason)
{
    auto database = std::make_unique<SqliteDatabase>();
    if (!database->open(path, !QFileInfo::exists(path))) {
        *reason = database->errorMessage();
        return nullptr;
    }
    // Before the first read, which in a write-ahead-log file would leave "-shm" and "-wal"
    // files behind that this connection could not remove.
    if (database->isReadOnly()) {
        *reason = QStringLiteral("the file may not be written");
        return nullptr;
    }
    database->exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(busyTimeoutMilliseconds));
    int version = 0;
    if (!checkReadable(*database, &version, reason)) return nullptr;
    if (!configure(*database)) {
        *reason = database->errorMessage();
        return nullptr;
    }
    if (!upgradeAndRun(*database, step, reason)) return nullptr;
    return database;
}

// Only reads: whatever is wrong with the file, it stays as it was.
bool StoreSchema::checkReadable(SqliteDatabase &database, int *version, QString *reason)
{
    bool ok = false;
    *version = readVersion(database, &ok);
    SqliteStatement tables(database, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    if (!ok || !tables.next()) {
        *reason = database.errorMessage();
        return false;
    }
    // user_version is any 32-bit number; only 0 (a new file) to the current one are ours.
    if (*version < 0) {
        *reason = QStringLiteral("not a task store (version %1)").arg(*version);
        return false;
    }
    if (*version > currentVersion) {
        *reason = QStringLiteral("written by a newer version (%1)").arg(*version);
        return false;
    }
    if (*version == 0 && tables.integer(0) > 0) {
        *reason = QStringLiteral("not a task store");
        return false;
    }
    return true;
}

std::unique_ptr<SqliteDatabase> StoreSchema::openReadOnly(const QString &path, QString *reason)
{
    if (!QFileInfo::exists(path)) {
        *reason = QStringLiteral("no such file");
        return nullptr;
    }
    // With its log files present SQLite reads through them (they stay as they were);
    // without, it must not create them.
    const bool logged = QFileInfo::exists(path + QStringLiteral("-wal")) ||
                        QFileInfo::exists(path + QStringLiteral("-shm"));
    auto database = std::make_unique<SqliteDatabase>();
    if (!database->openReadOnly(path, !logged)) {
        *reason = database->errorMessage();
        return nullptr;
    }
    database->exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(busyTimeoutMilliseconds));
    int version = 0;
    if (!checkReadable(*database, &version, reason)) return nullptr;
    if (version != currentVersion) {
        *reason = QStringLiteral("version %1 needs an upgrade, which a file that may not be "
                                 "written cannot take")
                      .arg(version);
        return nullptr;
    }
    if (!configure(*database)) {
        *reason = database->errorMessage();
        return nullptr;
    }
    return database;
}

// Settings of this connection only; none of them is written to the file.
bool StoreSchema::configure(SqliteDatabase &database)
{
    return database.exec(QStringLiteral("PRAGMA synchronous = NORMAL")) &&
           database.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
}

bool StoreSchema::useWriteAheadLog(SqliteDatabase &database)
{
    return database.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
}

// One transaction: another process opening the same file at the same time waits, and then
// finds the work done; a step that fails takes the upgrade back with it.
bool StoreSchema::upgradeAndRun(SqliteDatabase &database, const OpeningStep &step, QString *reason)
{
    if (!database.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        *reason = database.errorMessage();
        return false;
    }
    bool ok = false;
    const int version = readVersion(database, &ok);
    if (ok && version < currentVersion) ok = runSections(database, version, reason);
    if (ok && step(database) && database.exec(QStringLiteral("COMMIT"))) return true;
    if (reason->isEmpty()) *reason = database.errorMessage();
    database.exec(QStringLiteral("ROLLBACK"));
    return false;
}

bool StoreSchema::runSections(SqliteDatabase &database, int fromVersion, QString *reason)
{
    const QStringList sections = versionSections(reason);
    if (sections.size() != currentVersion) {
        if (reason->isEmpty())
            *reason =
                QStringLiteral("XTaskModel.sql does not describe version %1").arg(currentVersion);
        return false;
    }
    for (int version = fromVersion + 1; version <= currentVersion; ++version) {
        if (!database.exec(sections.at(version - 1))) return false;
        if (version == 2 && !fillFoldedNames(database)) return false;
    }
    return database.exec(QStringLiteral("PRAGMA user_version = %1").arg(currentVersion));
}

bool StoreSchema::fillFoldedNames(SqliteDatabase &database)
{
    SqliteStatement names(database,
                          QStringLiteral("SELECT id, name FROM XFile WHERE name IS NOT NULL"));
    SqliteStatement write(database,
                          QStringLiteral("UPDATE XFile SET name_folded = ? WHERE id = ?"));
    while (names.next()) {
        write.reset();
        write.bindAll({TextFold::fold(names.value(1).toString()), names.integer(0)});
        if (!write.run()) return false;
    }
    return !names.failed();
}

int StoreSchema::readVersion(SqliteDatabase &database, bool *ok)
{
    SqliteStatement query(database, QStringLiteral("PRAGMA user_version"));
    *ok = query.next();
    return *ok ? int(query.integer(0)) : 0;
}

QStringList StoreSchema::versionSections(QString *reason)
{
    QFile file(Resources::pathForResource(QStringLiteral("XTaskModel"), QStringLiteral("sql")));
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = QStringLiteral("XTaskModel.sql not found");
        return {};
    }
    static const QRegularExpression marker(QStringLiteral("^-- version \\d+$"),
                                           QRegularExpression::MultilineOption);
    QStringList sections = QString::fromUtf8(file.readAll()).split(marker);
    sections.removeFirst(); // the header before version 1
    return sections;
}
