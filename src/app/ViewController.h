#pragma once

#include <QPointer>
#include <QWidget>

class DownloadRegistry;
class NSHistoryView;
class QLabel;

// The main window's content: the history grid and the version label. It decides at start-up whether
// the system still has to be set up.
class ViewController : public QWidget
{
    Q_OBJECT
public:
    static constexpr int setupCheckDelayMs = 500;

    explicit ViewController(DownloadRegistry &downloads, QWidget *parent = nullptr);
    ~ViewController() override;

    // The most recently made instance, or null.
    static ViewController *shared();

    // Filters the task list by file name.
    void searchTask(const QString &text);
    QString searchText() const { return m_searchText; }
    NSHistoryView *historyView() const { return m_historyView; }
    // Asks for the settings sheet over the main window.
    void openSettingWindow();
    // Runs the start-up check unless one is pending: the settings sheet opens after a short
    // delay when there is no working folder with yt-dlp in it.
    void awakeFromNib();
    void viewDidAppear();

signals:
    void settingsWanted();
    void searchChanged(const QString &text);

private:
    static QPointer<ViewController> s_shared;
    bool m_checkAvailablePath = false;
    QString m_searchText;
    NSHistoryView *m_historyView;
    QLabel *m_versionLabel;
};
