#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QDialog;
class QWidget;

// Shows a window's sheets (window-modal dialogs) one at a time: a sheet presented while
// another shows on the same window waits until that one finishes, so a sheet that opens by
// itself never stacks over one the user opened.
class SheetQueue : public QObject
{
    Q_OBJECT
public:
    // Opens the sheet (window-modal, with open()) over its parent's window, or queues it.
    // Its buttons lose autoDefault: Return presses the default button only, not whichever
    // button has the focus. The sheet reports through finished(int) as usual.
    static void present(QDialog *sheet);
    // The sheet showing on the window, or null.
    static QDialog *currentSheet(QWidget *window);

private:
    explicit SheetQueue(QWidget *window);
    static SheetQueue *of(QWidget *window, bool create);
    void showNext();
    void sheetEnded();

    QList<QPointer<QDialog>> m_waiting;
    QPointer<QDialog> m_current;
};
