#include "desktop/SheetQueue.h"

#include <QDialog>
#include <QPushButton>

SheetQueue::SheetQueue(QWidget *window) : QObject(window) {}

SheetQueue *SheetQueue::of(QWidget *window, bool create)
{
    auto *queue = window->findChild<SheetQueue *>(QString(), Qt::FindDirectChildrenOnly);
    return queue || !create ? queue : new SheetQueue(window);
}

void SheetQueue::present(QDialog *sheet)
{
    Q_ASSERT(sheet->parentWidget());
    sheet->setWindowModality(Qt::WindowModal);
    for (QPushButton *button : sheet->findChildren<QPushButton *>())
        button->setAutoDefault(false);
    SheetQueue *queue = of(sheet->parentWidget()->window(), true);
    queue->m_waiting.append(sheet);
    if (!queue->m_current) queue->showNext();
}

QDialog *SheetQueue::currentSheet(QWidget *window)
{
    SheetQueue *queue = of(window, false);
    return queue ? queue->m_current.data() : nullptr;
}

void SheetQueue::showNext()
{
    while (!m_waiting.isEmpty()) {
        QDialog *sheet = m_waiting.takeFirst();
        if (!sheet) continue; // destroyed while it waited
        m_current = sheet;
        connect(sheet, &QDialog::finished, this, &SheetQueue::sheetEnded, Qt::UniqueConnection);
        connect(sheet, &QObject::destroyed, this, &SheetQueue::sheetEnded, Qt::UniqueConnection);
        sheet->open();
        return;
    }
}

void SheetQueue::sheetEnded()
{
    QDialog *ended = qobject_cast<QDialog *>(sender());
    if (ended && ended != m_current) return;
    if (ended) disconnect(ended, nullptr, this, nullptr);
    m_current = nullptr;
    showNext();
}
