#pragma once

#include <QString>

#include <memory>

class XFile;

// One of a task's files: a file record, or a path of the legacy file list (record null).
struct FileEntry {
    QString path;
    std::shared_ptr<XFile> record;
};
