#pragma once

#include <QMainWindow>

class DownloadRegistry;
class SearchField;
class ViewController;

// The main window: the search field in a fixed tool bar above the content. Its size and
// position are kept between runs.
class NSMainWindowController : public QMainWindow
{
    Q_OBJECT
public:
    explicit NSMainWindowController(DownloadRegistry &downloads, QWidget *parent = nullptr);

    SearchField *searchField() const { return m_searchField; }
    ViewController *viewController() const { return m_viewController; }
    // Shows the window and brings it to the front, also when it was minimized.
    void raiseToFront();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void windowDidLoad();
    void searchTask(const QString &text);

    SearchField *m_searchField;
    ViewController *m_viewController;
};
