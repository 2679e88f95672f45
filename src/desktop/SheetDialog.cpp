#include "desktop/SheetDialog.h"

#include <QPushButton>
#include <QVBoxLayout>

SheetDialog::SheetDialog(const QString &objectName, const QString &title, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(objectName);
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
}

void SheetDialog::placeContent(QWidget *content)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    for (QPushButton *button : content->findChildren<QPushButton *>())
        button->setAutoDefault(false);
}
