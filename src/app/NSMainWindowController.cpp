#include "app/NSMainWindowController.h"

#include "app/SearchField.h"
#include "app/ViewController.h"
#include "app/WindowState.h"

#include "download/WebVideoURL.h"

#include <QCloseEvent>
#include <QMimeData>
#include <QTimer>
#include <QToolBar>

NSMainWindowController::NSMainWindowController(QWidget *parent)
    : QMainWindow(parent), m_searchField(new SearchField), m_viewController(new ViewController)
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
    setAcceptDrops(true);
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

void NSMainWindowController::newTask(const QString &url)
{
    Q_UNUSED(url); // the history grid opens the form once it is part of the window
}

QString NSMainWindowController::webVideoURLIn(const QStringList &texts)
{
    for (const QString &text : texts) {
        const QString trimmed = text.trimmed();
        if (WebVideoURL::isAvailableWebVideoURL(trimmed)) return trimmed;
    }
    return QString();
}

QString NSMainWindowController::webVideoURLIn(const QMimeData *data)
{
    QStringList texts;
    for (const QUrl &url : data->urls())
        texts.append(url.toString());
    if (data->hasText()) texts.append(data->text().split(QLatin1Char('\n')));
    return webVideoURLIn(texts);
}

void NSMainWindowController::dragEnterEvent(QDragEnterEvent *event)
{
    if (!webVideoURLIn(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void NSMainWindowController::dropEvent(QDropEvent *event)
{
    const QString url = webVideoURLIn(event->mimeData());
    if (url.isEmpty()) return;
    event->acceptProposedAction();
    newTask(url);
}
