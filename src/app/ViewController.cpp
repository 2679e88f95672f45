#include "app/ViewController.h"

#include "app/ZelvoApplication.h"
#include "store/StoredSettings.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

QPointer<ViewController> ViewController::s_shared;

ViewController::ViewController(QWidget *parent)
    : QWidget(parent), m_versionLabel(new QLabel(ZelvoApplication::versionLabel()))
{
    s_shared = this;
    auto *placeholder = new QLabel(tr("The task history will be shown here."));
    placeholder->setAlignment(Qt::AlignCenter);
    placeholder->setEnabled(false);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(placeholder, 1);
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
    emit searchChanged(text);
}

void ViewController::openSettingWindow()
{
    emit settingsWanted();
}
