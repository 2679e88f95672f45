#pragma once

#include <QString>

struct sqlite3;

// One SQLite connection, closed when the object goes.
class SqliteDatabase
{
public:
    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase &) = delete;
    SqliteDatabase &operator=(const SqliteDatabase &) = delete;

    // Opens an existing file, or creates it when create is set. SQLite opens a file it may
    // not write read-only without saying so; isReadOnly() tells.
    bool open(const QString &path, bool create);
    // Opens an existing file for reading only. Immutable: SQLite then takes no lock and
    // creates no "-shm" file beside it (for a file that nothing can change).
    bool openReadOnly(const QString &path, bool immutable);
    bool isOpen() const { return m_handle != nullptr; }
    bool isReadOnly() const;

    // Runs one or more statements that return no rows.
    bool exec(const QString &sql);
    qint64 lastInsertRowId() const;
    QString errorMessage() const;
    sqlite3 *handle() const { return m_handle; }

private:
    sqlite3 *m_handle = nullptr;
};
