#include "desktop/Alerts.h"

#include "desktop/AlertScript.h"
#include "media/NSTavoTools.h"
#include "platform/Dispatch.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>

namespace
{

// QMessageBox::setTextFormat does not reach the informative text, which Qt guesses to be
// rich when it looks like markup; escaped rich text shows the characters exactly.
QString exactly(const QString &text)
{
    return Qt::convertFromPlainText(text);
}

constexpr int alertTextWidth = 320;

QWidget *ownerWindow(QWidget *parent)
{
    return parent ? parent->window() : QApplication::activeWindow();
}

} // namespace

AlertAnswer Alerts::run(const Alert &alert, QWidget *parent)
{
    if (AlertScript *script = AlertScript::active()) return script->answer(alert);
    return alert.hasTextField ? runQuestion(alert, parent) : runMessageBox(alert, parent);
}

AlertAnswer Alerts::runMessageBox(const Alert &alert, QWidget *parent)
{
    QMessageBox box(ownerWindow(parent));
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    box.setTextFormat(Qt::PlainText);
    box.setText(alert.messageText);
    if (!alert.informativeText.isEmpty()) box.setInformativeText(exactly(alert.informativeText));
    // Qt sizes a message box to its shortest line, so a short title over a long text would
    // wrap the text into a narrow column (Chinese, with no spaces, a few characters a line).
    if (auto *text = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        text->setMinimumWidth(alertTextWidth);

    // Qt orders buttons by the desktop's layout (reversed under GNOME and XFCE), so the
    // answer comes from which button was pressed, and Return and Esc are set explicitly.
    QList<QPushButton *> buttons;
    for (const QString &title : alert.buttons)
        buttons.append(box.addButton(title, QMessageBox::AcceptRole));
    if (buttons.isEmpty()) buttons.append(box.addButton(QMessageBox::Ok));
    box.setDefaultButton(buttons.first());
    box.setEscapeButton(buttons.at(alert.escapeResponse() - Alert::FirstButtonReturn));
    box.exec();

    const int index = buttons.indexOf(box.clickedButton());
    return {index >= 0 ? Alert::FirstButtonReturn + index : alert.escapeResponse(), QString()};
}

AlertAnswer Alerts::runQuestion(const Alert &alert, QWidget *parent)
{
    QInputDialog dialog(ownerWindow(parent));
    dialog.setWindowTitle(QApplication::applicationDisplayName());
    const QString texts = alert.informativeText.isEmpty()
                              ? alert.messageText
                              : alert.messageText + QStringLiteral("\n\n") + alert.informativeText;
    dialog.setLabelText(exactly(texts));
    dialog.setTextValue(alert.fieldText);
    dialog.setOkButtonText(alert.buttons.value(0, QStringLiteral("OK")));
    if (alert.buttons.size() > 1) dialog.setCancelButtonText(alert.buttons.at(1));
    // The label is its buddy, but a screen reader should hear the question, not markup.
    if (auto *field = dialog.findChild<QLineEdit *>()) field->setAccessibleName(alert.messageText);

    const bool accepted = dialog.exec() == QDialog::Accepted;
    return {accepted ? Alert::FirstButtonReturn : alert.escapeResponse(), dialog.textValue()};
}

void Alerts::message(const QString &text, QWidget *parent)
{
    Alert alert;
    alert.messageText = text;
    run(alert, parent);
}

void Alerts::installAsAlertHandler()
{
    NSTavoTools::setAlertHandler(
        [](const QString &text) { dispatchMain([text] { Alerts::message(text); }); });
}

QString Alerts::chooseFolder(const QString &title, QWidget *parent)
{
    if (AlertScript *script = AlertScript::active())
        return script->choose(AlertScript::PanelKind::Folder, title);
    return QFileDialog::getExistingDirectory(ownerWindow(parent), title, QString(),
                                             QFileDialog::ShowDirsOnly);
}

QString Alerts::chooseFile(const QString &title, QWidget *parent)
{
    if (AlertScript *script = AlertScript::active())
        return script->choose(AlertScript::PanelKind::File, title);
    // Read-only: the panel picks a file and creates no folders.
    return QFileDialog::getOpenFileName(ownerWindow(parent), title, QString(), QString(), nullptr,
                                        QFileDialog::ReadOnly);
}
