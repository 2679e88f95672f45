#pragma once

#include <QString>

// When two page URLs name the same video: the scheme and the host are compared ignoring
// case (they mean nothing else), the rest (user, port, path, query, fragment) exactly,
// since a site may tell two videos apart by the case of an id.
class TaskURL
{
public:
    // The form two URLs of the same video share.
    static QString comparable(const QString &url);
    static bool same(const QString &a, const QString &b);
};
