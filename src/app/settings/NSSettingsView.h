#pragma once

#include "media/NSffmpeg.h"
#include "platform/JobRunner.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

class NSModalView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The settings pane: the working folder, yt-dlp's install and update, ffmpeg's check and
// installation, and automatic start. Each setting is stored as its control changes. The
// tools run on the job runner behind the busy overlay, so the window keeps answering; a job
// may outlive the pane, and then its reports are dropped.
//
// Its class methods are the read side of the stored settings that the rest of the system uses.
class NSSettingsView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int welcomeDelayMs = 500;
    static constexpr int toolStartDelayMs = 100;
    static constexpr const char *systemPackageCommand = "sudo apt install ffmpeg";

    explicit NSSettingsView(JobRunner &jobs, QWidget *parent = nullptr);

    static bool startDownloadAfterCreated();
    static QUrl ytdlpPath();
    static QUrl ffmpegURL();
    static QString ffmpegVersion();

    void selectWorkingPath();
    void switchAutoDownload();
    void installYTDLP();
    void updateYTDLP();
    void checkFFMPEG();
    void ffmpegInstall();
    void forwardInstall();
    // Ends the sheet; every setting is already stored.
    void save();

    void showRunningView(const QString &text);
    void hiddenRunningView();
    // While the overlay shows, the controls are disabled and the sheet stays open.
    bool isBusy() const;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct UpdateResult {
        qint64 code = -1;
        QString version;
    };
    struct FfmpegResult {
        bool systemHasNone = false; // the system has no ffmpeg package to link to
        bool failed = false;
        QString error;
        QString version;
    };

    void buildControls();
    void awakeFromNib();
    void setFfmpegButtons(bool ffmpegKnown);
    void updateChecked(const UpdateResult &result);
    void ffmpegInstalled(const FfmpegResult &result);
    static FfmpegResult installTools(const QString &folder, const NSffmpeg::Handler &report);
    void offerSystemPackage();
#ifdef Q_OS_MACOS
    bool developerToolsReady();
#endif
    // done runs on the main thread only while the pane lives.
    template <typename Work, typename Done> void runForPane(Work work, Done done)
    {
        m_jobs.run(std::move(work), [pane = QPointer<NSSettingsView>(this),
                                     done = std::move(done)](auto &&...result) mutable {
            if (pane) done(std::forward<decltype(result)>(result)...);
        });
    }

    JobRunner &m_jobs;
    // The folder the pane shows and works on.
    QUrl m_folder;
    bool m_welcomeWanted = false;
    QWidget *m_controls;
    QLineEdit *m_pathControl;
    QCheckBox *m_autoStartSwitch;
    QLabel *m_versionLabel;
    QLabel *m_lastUpdateLabel;
    QLabel *m_statusLabel;
    QPushButton *m_ffmpegCheckButton;
    QPushButton *m_ffmpegInstallButton;
    NSModalView *m_runningView = nullptr;
};
