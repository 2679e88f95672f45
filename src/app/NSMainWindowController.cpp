#include "app/NSMainWindowController.h"

#include "app/SearchField.h"
#include "app/ViewController.h"
#include "app/WindowState.h"

#include <QCloseEvent>
#include <QTimer>
#include <QToolBar>

NSMainWindowController::NSMainWindowController(DownloadRegistry &downloads, QWidget *parent)
    : QMainWindow(parent), m_searchField(new SearchField),
      m_viewController(new ViewController(downloads))
{
    setWindowTitle(QStringLiteral("Zelvo"));
    auto *toolBar = addToolBar(tr("Search"));
    toolBar->setObjectName(QStringLiteral("searchToolBar"));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->toggleViewAction()->setEnabled(false);
    auto *stretch = new QWidget;
    stretch->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar->addWidget(stretch);
    m_searchField->setMaximumWidth(280);
    toolBar->addWidget(m_searchField);
    setCentralWidget(m_viewController);
    resize(960, 640);
    WindowState::restore(this);
    windowDidLoad();
}

void NSMainWindowController::windowDidLoad()
{
    connect(m_searchField, &SearchField::searchRequested, this,
            &NSMainWindowController::searchTask);
}

void NSMainWindowController::searchTask(const QString &text)
{
    if (ViewController *controller = ViewController::shared()) controller->searchTask(text);
}

void NSMainWindowController::raiseToFront()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void NSMainWindowController::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    QTimer::singleShot(0, m_viewController, &ViewController::viewDidAppear);
}

void NSMainWindowController::closeEvent(QCloseEvent *event)
{
    WindowState::save(this);
    QMainWindow::closeEvent(event);
}
