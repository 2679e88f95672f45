#include "app/settings/NSSettingsView.h"

#include "app/settings/NSModalView.h"
#include "desktop/Alerts.h"
#include "desktop/DesktopServices.h"
#include "download/YTDLPCheck.h"
#include "media/NSTavoTools.h"
#include "media/NSffmpeg.h"
#include "media/SystemToolLinker.h"
#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "store/StoredSettings.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#ifdef Q_OS_MACOS
#include <QProcess>
#endif

NSSettingsView::NSSettingsView(JobRunner &jobs, QWidget *parent) : QWidget(parent), m_jobs(jobs)
{
    buildControls();
    awakeFromNib();
}

bool NSSettingsView::startDownloadAfterCreated()
{
    return StoredSettings::startDownloadAfterCreated();
}

QUrl NSSettingsView::ytdlpPath()
{
    return StoredSettings::ytdlpPath();
}

QUrl NSSettingsView::ffmpegURL()
{
    return StoredSettings::ffmpegURL();
}

QString NSSettingsView::ffmpegVersion()
{
    return StoredSettings::ffmpegVersion();
}

void NSSettingsView::buildControls()
{
    m_controls = new QWidget(this);
    m_pathControl = new QLineEdit;
    m_pathControl->setReadOnly(true);
    auto *folderLabel = new QLabel(tr("Working folder"));
    folderLabel->setBuddy(m_pathControl);
    auto *choose = new QPushButton(tr("Choose…"));
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(m_pathControl, 1);
    folderRow->addWidget(choose);

    m_autoStartSwitch = new QCheckBox(tr("Start downloads when a task is created"));
    m_versionLabel = new QLabel(QStringLiteral("—"));
    m_lastUpdateLabel = new QLabel(QStringLiteral("—"));
    auto *update = new QPushButton(tr("Update yt-dlp"));
    m_ffmpegCheckButton = new QPushButton(tr("Check ffmpeg"));
    m_ffmpegInstallButton = new QPushButton(tr("Install ffmpeg"));
    auto *ffmpegRow = new QHBoxLayout;
    ffmpegRow->addWidget(m_ffmpegCheckButton);
    ffmpegRow->addWidget(m_ffmpegInstallButton);
    ffmpegRow->addStretch(1);
    m_statusLabel = new QLabel;
    m_statusLabel->setWordWrap(true);
    m_statusLabel->hide();
    auto *close = new QPushButton(tr("Close"));

    auto *form = new QFormLayout;
    form->addRow(folderLabel, folderRow);
    form->addRow(QString(), m_autoStartSwitch);
    form->addRow(tr("yt-dlp version"), m_versionLabel);
    form->addRow(tr("Last update check"), m_lastUpdateLabel);
    auto *updateRow = new QHBoxLayout;
    updateRow->addWidget(update);
    updateRow->addStretch(1);
    form->addRow(QString(), updateRow);
    form->addRow(tr("ffmpeg"), ffmpegRow);
    auto *controls = new QVBoxLayout(m_controls);
    controls->addLayout(form);
    controls->addWidget(m_statusLabel);
    controls->addStretch(1);
    controls->addWidget(close, 0, Qt::AlignRight);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_controls);
    setMinimumSize(520, 300);

    connect(choose, &QPushButton::clicked, this, &NSSettingsView::selectWorkingPath);
    // clicked, not toggled: filling the pane must not write the settings.
    connect(m_autoStartSwitch, &QCheckBox::clicked, this, &NSSettingsView::switchAutoDownload);
    connect(update, &QPushButton::clicked, this, &NSSettingsView::updateYTDLP);
    connect(m_ffmpegCheckButton, &QPushButton::clicked, this, &NSSettingsView::checkFFMPEG);
    connect(m_ffmpegInstallButton, &QPushButton::clicked, this, &NSSettingsView::ffmpegInstall);
    connect(close, &QPushButton::clicked, this, &NSSettingsView::save);
}

void NSSettingsView::awakeFromNib()
{
    m_folder = StoredSettings::folderURL(StoredSettings::KEY_WORKING_URL_DATA);
    if (m_folder.isEmpty()) {
        m_welcomeWanted = true;
        setFfmpegButtons(false);
        return;
    }
    m_pathControl->setText(m_folder.toLocalFile());
    m_autoStartSwitch->setChecked(
        StoredSettings::boolValue(StoredSettings::KEY_AUDO_START_DOWNLOAD));
    const QString version = StoredSettings::stringValue(StoredSettings::KEY_VERSION_STRING);
    if (!version.isNull()) m_versionLabel->setText(version);
    const QDateTime checked =
        StoredSettings::value(StoredSettings::KEY_UPDATE_CHECK_DATE).toDateTime();
    if (checked.isValid()) m_lastUpdateLabel->setText(NSTavoTools::stringForDate(checked));
    setFfmpegButtons(!ffmpegVersion().isNull());
}

// Without a working folder there is nothing to check or install into.
void NSSettingsView::setFfmpegButtons(bool ffmpegKnown)
{
    const bool hasFolder = !m_folder.isEmpty();
    m_ffmpegInstallButton->setEnabled(hasFolder && !ffmpegKnown);
    m_ffmpegCheckButton->setEnabled(hasFolder && ffmpegKnown);
}

void NSSettingsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Counted from the sheet's showing: a sheet queued behind another waits for it first.
    if (!m_welcomeWanted) return;
    m_welcomeWanted = false;
    QTimer::singleShot(welcomeDelayMs, this, &NSSettingsView::forwardInstall);
}

void NSSettingsView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_runningView) m_runningView->setGeometry(rect());
}

void NSSettingsView::forwardInstall()
{
    Alert welcome;
    welcome.messageText = QStringLiteral("欢迎！");
    welcome.informativeText = QStringLiteral(
        "本软件帮助您使用yt-dlp，下载很多网站的视频资源， 第一步就是设置一个工作路径。");
    welcome.buttons = {QStringLiteral("设置工作路径"), QStringLiteral("取消")};
    if (Alerts::run(welcome, this).response == Alert::FirstButtonReturn) selectWorkingPath();
}

void NSSettingsView::selectWorkingPath()
{
    const QString folder = Alerts::chooseFolder(QStringLiteral("Select path for work."), this);
    // A file is never the working folder.
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) return;
    m_folder = QUrl::fromLocalFile(folder);
    m_pathControl->setText(folder);
    StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, folder);
    setFfmpegButtons(!ffmpegVersion().isNull());
    QTimer::singleShot(toolStartDelayMs, this, &NSSettingsView::installYTDLP);
}

void NSSettingsView::switchAutoDownload()
{
    StoredSettings::setValue(StoredSettings::KEY_AUDO_START_DOWNLOAD,
                             m_autoStartSwitch->isChecked());
}

void NSSettingsView::installYTDLP()
{
    showRunningView(QStringLiteral("正在安装 请稍后 ..."));
    const QUrl folder = m_folder;
    QTimer::singleShot(toolStartDelayMs, this, [this, folder] {
        runForPane([folder] { YTDLPCheck().installAtPath(folder); },
                   [this] {
                       hiddenRunningView();
                       QTimer::singleShot(toolStartDelayMs, this, &NSSettingsView::updateYTDLP);
                   });
    });
}

void NSSettingsView::updateYTDLP()
{
    showRunningView(QStringLiteral("正在链接网络 更新中 ..."));
    QTimer::singleShot(toolStartDelayMs, this, [this] {
        runForPane(
            [] {
                YTDLPCheck check;
                const qint64 code = check.checkYtdlpInURL(StoredSettings::ytdlpPath());
                return UpdateResult{code, check.version()};
            },
            [this](const UpdateResult &result) { updateChecked(result); });
    });
}

void NSSettingsView::updateChecked(const UpdateResult &result)
{
    if (result.code == 2) {
        StoredSettings::setValue(StoredSettings::KEY_VERSION_STRING, result.version);
        StoredSettings::setValue(StoredSettings::KEY_UPDATE_CHECK_DATE,
                                 QDateTime::currentDateTime());
        m_versionLabel->setText(result.version);
        m_statusLabel->hide();
    } else {
        Log::line(zelvoDownload(), QStringLiteral("Install yt-dlp error."));
        // One line, so a failure is not mistaken for a pane that did nothing.
        m_statusLabel->setText(result.code == 1
                                   ? tr("yt-dlp is not installed in the working folder.")
                                   : tr("yt-dlp could not be installed or updated."));
        m_statusLabel->show();
    }
    hiddenRunningView();
}

void NSSettingsView::checkFFMPEG()
{
    // Nothing is run from an empty folder: no folder means no ffmpeg.
    const QString version =
        m_folder.isEmpty() ? QString() : NSffmpeg::ffmpegInfomationAtPath(m_folder.toLocalFile());
    const bool found = !version.isEmpty();
    if (found)
        StoredSettings::setFolder(StoredSettings::KEY_FFMPEG_URL, m_folder.toLocalFile());
    else
        StoredSettings::setValue(StoredSettings::KEY_FFMPEG_URL, QVariant());
    StoredSettings::setValue(StoredSettings::KEY_FFMPEG_VERSION, found ? version : QVariant());

    Alert alert;
    // An ffmpeg that answers nothing is not shown as found, whatever lies in the folder.
    if (found && !ffmpegURL().isEmpty()) {
        alert.messageText = ffmpegURL().toLocalFile();
        alert.informativeText = ffmpegVersion();
    } else {
        alert.messageText = QStringLiteral("ffmpeg NOT FOUND");
        alert.informativeText = QStringLiteral("ffmpeg will merge audio and video into mp4 file.");
        alert.buttons.append(QStringLiteral("Install ffmpeg"));
        alert.escapeButton = 0; // Esc is "OK", never an installation
    }
    m_ffmpegInstallButton->setEnabled(!m_folder.isEmpty() && !found);
    if (Alerts::run(alert, this).response == Alert::FirstButtonReturn + 1) ffmpegInstall();
}

void NSSettingsView::ffmpegInstall()
{
    const QString folder = ytdlpPath().toLocalFile();
    if (folder.isEmpty()) {
        Alert alert;
        alert.messageText = QStringLiteral("Error");
        alert.informativeText = tr("Choose a working folder and install yt-dlp into it first.");
        Alerts::run(alert, this);
        return;
    }
#ifdef Q_OS_MACOS
    if (!developerToolsReady()) return;
#endif
    showRunningView(QStringLiteral("ffmpeg start"));
    const QPointer<NSSettingsView> pane(this);
    const auto report = [pane](const QString &text) {
        Log::line(zelvoMedia(), QStringLiteral("Progress:%1").arg(text));
        dispatchMain([pane, text] {
            if (pane && pane->m_runningView) pane->m_runningView->setProgressString(text);
        });
    };
    runForPane([folder, report] { return installTools(folder, report); },
               [this](const FfmpegResult &result) { ffmpegInstalled(result); });
}

// On a job thread. A folder whose ffmpeg already answers needs nothing.
NSSettingsView::FfmpegResult NSSettingsView::installTools(const QString &folder,
                                                          const NSffmpeg::Handler &report)
{
    FfmpegResult result;
    result.version = NSffmpeg::ffmpegInfomationAtPath(folder);
    if (!result.version.isEmpty()) return result;
#ifdef Q_OS_MACOS
    result.failed = !NSffmpeg::ffmpegInstallToPath(folder, &result.error, report);
#else
    if (!SystemToolLinker().missingTools(folder).isEmpty()) {
        result.systemHasNone = true;
        return result;
    }
    result.failed = !NSffmpeg::installSystemTools(folder, &result.error, report);
#endif
    if (!result.failed) result.version = NSffmpeg::ffmpegInfomationAtPath(folder);
    return result;
}

#ifdef Q_OS_MACOS
// The downloaded tools link against Homebrew's libraries, which need the developer tools.
bool NSSettingsView::developerToolsReady()
{
    Alert alert;
    alert.buttons = {QStringLiteral("安装"), QStringLiteral("取消")};
    if (!NSffmpeg::detectXcode_SelectandReturnError(nullptr, {})) {
        alert.messageText = QStringLiteral("没有发现开发者工具");
        alert.informativeText = QStringLiteral(
            "ffmpeg 是开源的系统, 需要一定的开发环境和运行环境, 请安装完工具后, "
            "再次点击安装ffmpeg.\n\n点击安装后, 请在弹出的确认框中, 点击安装确认按钮.\n");
        if (Alerts::run(alert, this).response == Alert::FirstButtonReturn) {
            NSffmpeg::xcode_selectInstallandReturnError(nullptr);
            // So that the installer's own dialog is seen.
            if (QWidget *main = parentWidget() ? parentWidget()->window() : nullptr)
                main->showMinimized();
        }
        return false;
    }
    if (!NSffmpeg::detectBrewandReturnError(nullptr)) {
        alert.messageText = QStringLiteral("brew NOT FOUND");
        alert.informativeText = QStringLiteral(
            "brew 是视频、音频编码环境的安装工具, ffmpeg 必须依靠这些环境才能支持所需, "
            "请先安装好brew, 然后再继续安装ffmpeg.\n\n 点击安装按钮后, "
            "安装命令已经存入剪贴板, Terminal也将打开, 请粘贴命令后, 按下回车键, "
            "并按照提示, 输入本机密码。");
        alert.buttons = {QStringLiteral("安装 brew"), QStringLiteral("取消")};
        if (Alerts::run(alert, this).response == Alert::FirstButtonReturn) {
            DesktopServices::copyText(QStringLiteral(
                "/bin/bash -c \"$(curl -fsSL "
                "https://raw.githubusercontent.com/Homebrew/install/HEAD/install.sh)\""));
            QProcess::startDetached(QStringLiteral("/usr/bin/open"),
                                    {QStringLiteral("-a"), QStringLiteral("Terminal")});
        }
        return false;
    }
    return true;
}
#endif

void NSSettingsView::ffmpegInstalled(const FfmpegResult &result)
{
    hiddenRunningView();
    if (result.systemHasNone) {
        offerSystemPackage();
        return;
    }
    Alert alert;
    if (result.failed) {
        alert.messageText = QStringLiteral("Error");
        alert.informativeText = result.error;
    } else {
        m_ffmpegCheckButton->setEnabled(true);
        m_ffmpegInstallButton->setEnabled(false);
        alert.messageText = QStringLiteral("ffmpeg installed.");
        alert.informativeText = result.version;
    }
    Alerts::run(alert, this);
}

// Linux: the distribution's package provides the tools the folder links to.
void NSSettingsView::offerSystemPackage()
{
    Alert alert;
    alert.messageText = tr("ffmpeg is not installed on this system.");
    alert.informativeText = tr("Install the package ffmpeg, which provides ffmpeg, ffplay and "
                               "ffprobe, then press \"Install ffmpeg\" again:\n\n%1")
                                .arg(QLatin1String(systemPackageCommand));
    alert.buttons = {tr("Copy Command"), tr("Cancel")};
    if (Alerts::run(alert, this).response == Alert::FirstButtonReturn)
        DesktopServices::copyText(QLatin1String(systemPackageCommand));
}

void NSSettingsView::save()
{
    if (auto *sheet = qobject_cast<QDialog *>(window())) sheet->done(1);
}

void NSSettingsView::showRunningView(const QString &text)
{
    if (!m_runningView) m_runningView = new NSModalView(this);
    m_runningView->setProgressString(text);
    m_runningView->setGeometry(rect());
    m_runningView->raise();
    m_runningView->show();
    m_controls->setEnabled(false);
}

void NSSettingsView::hiddenRunningView()
{
    if (m_runningView) m_runningView->hide();
    m_controls->setEnabled(true);
}

bool NSSettingsView::isBusy() const
{
    return m_runningView && !m_runningView->isHidden();
}
