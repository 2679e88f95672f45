#include "app/SearchField.h"

#include <QKeyEvent>

SearchField::SearchField(QWidget *parent) : QLineEdit(parent)
{
    setClearButtonEnabled(true);
    setPlaceholderText(tr("Search file names"));
    setAccessibleName(tr("Search"));
    m_pause.setSingleShot(true);
    m_pause.setInterval(typingPauseMs);
    connect(&m_pause, &QTimer::timeout, this, &SearchField::searchNow);
    // textChanged, not textEdited: the clear button changes the text without an edit.
    connect(this, &QLineEdit::textChanged, this, &SearchField::textEdited);
    connect(this, &QLineEdit::returnPressed, this, &SearchField::searchNow);
}

void SearchField::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && !text().isEmpty()) {
        clear();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void SearchField::textEdited(const QString &text)
{
    if (text.isEmpty())
        searchNow();
    else
        m_pause.start();
}

void SearchField::searchNow()
{
    m_pause.stop();
    emit searchRequested(text());
}
