#include "app/ViewController.h"

#include "app/ZelvoApplication.h"
#include "store/StoredSettings.h"
#include "tasklist/NSHistoryView.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

QPointer<ViewController> ViewController::s_shared;

ViewController::ViewController(DownloadRegistry &downloads, QWidget *parent)
    : QWidget(parent), m_historyView(new NSHistoryView(downloads)),
      m_versionLabel(new QLabel(ZelvoApplication::versionLabel()))
{
    s_shared = this;
    connect(m_historyView, &NSHistoryView::settingsWanted, this,
            &ViewController::openSettingWindow);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_historyView, 1);
    layout->addWidget(m_versionLabel, 0, Qt::AlignRight);
    awakeFromNib();
}

ViewController::~ViewController()
{
    if (s_shared == this) s_shared = nullptr;
}

ViewController *ViewController::shared()
{
    return s_shared;
}

void ViewController::awakeFromNib()
{
    if (m_checkAvailablePath) return;
    m_checkAvailablePath = true;
    if (StoredSettings::ytdlpPath().isEmpty())
        QTimer::singleShot(setupCheckDelayMs, this, &ViewController::openSettingWindow);
}

void ViewController::viewDidAppear()
{
    m_checkAvailablePath = false;
}

void ViewController::searchTask(const QString &text)
{
    m_searchText = text;
    m_historyView->taskWithString(text);
    emit searchChanged(text);
}

void ViewController::openSettingWindow()
{
    emit settingsWanted();
}
