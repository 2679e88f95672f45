#include "store/SqliteStatement.h"

#include "store/SqliteDatabase.h"

#include <QHashFunctions>

#include <sqlite3.h>

SqliteStatement::SqliteStatement(SqliteDatabase &database, const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(database.handle(), text.constData(), int(text.size()), &m_statement,
                           nullptr) != SQLITE_OK)
        m_failed = true;
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

void SqliteStatement::bindAll(const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values.at(i));
}

void SqliteStatement::bind(int position, const QVariant &value)
{
    if (!m_statement) return;
    switch (value.metaType().id()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        sqlite3_bind_null(m_statement, position);
        break;
    case QMetaType::QString: {
        const QByteArray text = value.toString().toUtf8();
        sqlite3_bind_text(m_statement, position, text.constData(), int(text.size()),
                          SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob(m_statement, position, bytes.constData(), int(bytes.size()),
                          SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(m_statement, position, value.toDouble());
        break;
    default:
        sqlite3_bind_int64(m_statement, position, value.toLongLong());
    }
}

bool SqliteStatement::next()
{
    if (!m_statement) return false;
    const int result = sqlite3_step(m_statement);
    if (result == SQLITE_ROW) return true;
    m_failed = result != SQLITE_DONE;
    return false;
}

bool SqliteStatement::run()
{
    next();
    return m_statement && !m_failed;
}

void SqliteStatement::reset()
{
    if (!m_statement) return;
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    m_failed = false;
}

int SqliteStatement::columnCount() const
{
    return sqlite3_column_count(m_statement);
}

QVariant SqliteStatement::value(int column) const
{
    // Empty text and empty blobs stay empty, not null: null means absent to the records.
    const int size = sqlite3_column_bytes(m_statement, column);
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_statement, column));
    case SQLITE_TEXT: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
        return QVariant(size == 0 ? QString(QLatin1String("")) : QString::fromUtf8(text, size));
    }
    case SQLITE_BLOB: {
        const auto *bytes = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
        return QVariant(size == 0 ? QByteArray("") : QByteArray(bytes, size));
    }
    default:
        return QVariant();
    }
}

qint64 SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

std::size_t SqliteStatement::hashColumns(int first, int last) const
{
    std::size_t hash = 0;
    for (int column = first; column <= last; ++column) {
        const int type = sqlite3_column_type(m_statement, column);
        hash = qHashMulti(hash, type);
        if (type == SQLITE_INTEGER) {
            hash = qHash(qint64(sqlite3_column_int64(m_statement, column)), hash);
        } else if (type == SQLITE_FLOAT) {
            hash = qHash(sqlite3_column_double(m_statement, column), hash);
        } else if (type != SQLITE_NULL) {
            const void *bytes =
                type == SQLITE_TEXT
                    ? static_cast<const void *>(sqlite3_column_text(m_statement, column))
                    : sqlite3_column_blob(m_statement, column);
            hash = qHashBits(bytes, std::size_t(sqlite3_column_bytes(m_statement, column)), hash);
        }
    }
    return hash;
}
