#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What zelvo-cli prints: results on standard output, messages and progress on standard
// error. A closed output (a pager that quit) ends the printing, not the program: SIGPIPE is
// ignored and the first failed write stops further writes to that stream. Any other failed
// write to standard output (a full disk) is said and fails the command (outputFailed()).
class CliOutput
{
public:
    static void ignoreBrokenPipe();
    // One line (a line feed is added) on standard output / standard error.
    static void out(const QString &text);
    static void err(const QString &text);
    // Rows with every column but the last padded to the widest cell; with `widest`, a longer
    // cell of those columns is cut in its middle to that many characters.
    static QString table(const QList<QStringList> &rows, qsizetype widest = 0);
    static bool outputFailed();
    // Tabs and line breaks as spaces, so one value stays on one line.
    static QString oneLine(const QString &text);

private:
    static QString elided(const QString &text, qsizetype widest);
    static bool write(FILE *stream, bool *closed, const QString &text);
};
