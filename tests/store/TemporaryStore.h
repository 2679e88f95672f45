#pragma once

#include "store/XCoreDataManagement.h"

#include <QTemporaryDir>

#include <memory>

// A store file of the test's own in a temporary folder, opened as often as a test needs,
// and read behind the store's back when a test must see what is really on disk.
class TemporaryStore
{
public:
    QString folder() const { return m_dir.path(); }
    QString path() const { return m_dir.filePath(QStringLiteral("Documents/XTaskModel.sqlite")); }
    // Leaves the file as a seed of the store's fuzz target, when seeds are recorded.
    ~TemporaryStore();
    // A new store object on the file, opened (check isOpen()).
    std::unique_ptr<XCoreDataManagement> open() const;
    // The first column of the first row of a query made on a connection of its own.
    QVariant query(const QString &sql) const;

private:
    QTemporaryDir m_dir;
};
