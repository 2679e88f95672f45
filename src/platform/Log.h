#pragma once

#include <QLoggingCategory>
#include <QString>

// One category per subsystem, so that a front end keeps or drops each by rule
// (QLoggingCategory::setFilterRules or QT_LOGGING_RULES, "zelvo.download.info=false").
Q_DECLARE_LOGGING_CATEGORY(zelvoCore)
Q_DECLARE_LOGGING_CATEGORY(zelvoDownload)
Q_DECLARE_LOGGING_CATEGORY(zelvoStore)
Q_DECLARE_LOGGING_CATEGORY(zelvoMedia)

// One line in the system log per failure or diagnostic. Goes through Qt's logging so
// tests can capture it with a message handler.
class Log
{
public:
    static void line(const QLoggingCategory &category, const QString &text);
};
