#pragma once

#include <QString>
#include <QVariant>

class SqliteDatabase;
struct sqlite3_stmt;

// One prepared statement. Values cross as QVariant: a null QVariant is SQL NULL; QString is
// TEXT, QByteArray is BLOB, double/float is REAL, every other number is INTEGER.
class SqliteStatement
{
public:
    SqliteStatement(SqliteDatabase &database, const QString &sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    bool isValid() const { return m_statement != nullptr; }
    // Binds parameters 1, 2, ... in order.
    void bindAll(const QVariantList &values);
    void bind(int position, const QVariant &value);
    // Advances to the next row: true while there is one. After the last row, or on an
    // error, false; failed() then tells which.
    bool next();
    bool failed() const { return m_failed; }
    // Runs a statement that returns no rows.
    bool run();
    void reset();

    int columnCount() const;
    QVariant value(int column) const;
    qint64 integer(int column) const;
    // A hash of the values of columns [first, last], read as they are stored (no conversion):
    // equal values, equal hash.
    std::size_t hashColumns(int first, int last) const;
    bool isNull(int column) const;

private:
    sqlite3_stmt *m_statement = nullptr;
    bool m_failed = false;
};
