#include "store/SqliteDatabase.h"

#include <QUrl>

#include <sqlite3.h>

SqliteDatabase::~SqliteDatabase()
{
    sqlite3_close_v2(m_handle);
}

bool SqliteDatabase::open(const QString &path, bool create)
{
    const int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_handle, flags, nullptr) == SQLITE_OK)
        return true;
    // A failed open still gives a handle that carries the message.
    return false;
}

bool SqliteDatabase::openReadOnly(const QString &path, bool immutable)
{
    QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    if (immutable) uri += "?immutable=1";
    const int flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_URI;
    return sqlite3_open_v2(uri.constData(), &m_handle, flags, nullptr) == SQLITE_OK;
}

bool SqliteDatabase::isReadOnly() const
{
    return sqlite3_db_readonly(m_handle, "main") != 0;
}

bool SqliteDatabase::exec(const QString &sql)
{
    return sqlite3_exec(m_handle, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

qint64 SqliteDatabase::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(m_handle);
}

QString SqliteDatabase::errorMessage() const
{
    if (!m_handle) return QStringLiteral("out of memory");
    return QString::fromUtf8(sqlite3_errmsg(m_handle));
}
