#pragma once

#include <QByteArray>
#include <QString>

// Seeds for the fuzz targets, taken from what the real tools print in the tests that run
// them. Only when ZELVO_FUZZ_SEEDS names a folder; otherwise nothing is recorded.
class FuzzSeeds
{
public:
    static bool recording();
    // Puts at path an executable that runs tool and copies each of its two streams, after
    // prefix, to a new seed of target; false (nothing written) when not recording.
    static bool writeRecorder(const QString &path, const QString &tool, const QString &target,
                              const QByteArray &prefix = {});
    // Copies a file the test made as a seed of target.
    static void recordFile(const QString &file, const QString &target);

private:
    static QString targetFolder(const QString &target);
};
