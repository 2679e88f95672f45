#pragma once

#include <QDialog>

// A sheet: a window-modal dialog around one content widget, ended by the content. Every way
// of closing it (Esc, the window's close button) goes through the content's own close or
// cancel path, so nothing the user entered is dropped on the way out.
class SheetDialog : public QDialog
{
public:
    // The object name is the sheet's name for tests and for the window manager.
    SheetDialog(const QString &objectName, const QString &title, QWidget *parent);

    void reject() final { closeRequested(); }

protected:
    // The content fills the sheet, and its endSheet(int) ends the sheet with that code. Its
    // buttons are no auto-defaults: Return belongs to the field that has the focus.
    template <typename Content> void setContent(Content *content)
    {
        placeContent(content);
        connect(content, &Content::endSheet, this, &QDialog::done);
    }
    // Esc and the window's close button.
    virtual void closeRequested() = 0;

private:
    void placeContent(QWidget *content);
};
