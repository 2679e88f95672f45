#pragma once

#include <QMainWindow>
#include <QStringList>

class QMimeData;

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
    // The one way to the new-task form, from the menu, a URL given at launch and a URL
    // dropped on the window; a non-empty URL fills the form's URL field.
    void newTask(const QString &url);
    // The first web video URL among the texts (surrounding white space dropped), or an empty
    // string.
    static QString webVideoURLIn(const QStringList &texts);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void windowDidLoad();
    void searchTask(const QString &text);
    static QString webVideoURLIn(const QMimeData *data);

    SearchField *m_searchField;
    ViewController *m_viewController;
};
