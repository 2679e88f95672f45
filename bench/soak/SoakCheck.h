#pragma once

#include "SoakSite.h"

#include <QString>

// What the history and the working folder hold once the soak has ended.
struct SoakReport {
    int shouldComplete = 0;
    int completedExactly = 0; // status 2 with exactly its files, each probed and with a thumbnail
    int shouldFail = 0;
    int failed = 0; // status 3
    int files = 0;
    int filesComplete = 0; // exists, media details, thumbnail
    int partFiles = 0;
    int processesLeft = 0;
    QString integrity;

    bool passed() const;
    void print() const;
};

// Reads the history (after the downloads' process has ended) against what each case must leave.
class SoakCheck
{
public:
    static SoakReport check(const QList<SoakCase> &cases, const QString &workingFolder);

private:
    static QString integrityOf(const QString &storePath);
    static void checkCase(const SoakCase &expected, const QString &workingFolder,
                          SoakReport &report);
};
