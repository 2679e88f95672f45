#pragma once

#include <QMainWindow>

#include <functional>

class SearchField;
class ViewController;

// The main window: the search field in a fixed tool bar above the content. Its size and
// position are kept between runs.
class NSMainWindowController : public QMainWindow
{
    Q_OBJECT
public:
    explicit NSMainWindowController(QWidget *parent = nullptr);

    SearchField *searchField() const { return m_searchField; }
    ViewController *viewController() const { return m_viewController; }
    // Shows the window and brings it to the front, also when it was minimized.
    void raiseToFront();
    // Asked before the window closes; false keeps it open.
    void setCloseApproval(std::function<bool()> approval) { m_closeApproval = std::move(approval); }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void windowDidLoad();
    void searchTask(const QString &text);

    SearchField *m_searchField;
    ViewController *m_viewController;
    std::function<bool()> m_closeApproval;
};
