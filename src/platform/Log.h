#pragma once

#include <QString>

// One line in the system log per failure or diagnostic. Goes through Qt's logging so
// tests can capture it with a message handler.
class Log
{
public:
    static void line(const QString &text);
};
