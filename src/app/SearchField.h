#pragma once

#include <QLineEdit>
#include <QTimer>

// The history's search field: it asks for a search once typing pauses, at once on Return
// or when cleared, and Esc clears it.
class SearchField : public QLineEdit
{
    Q_OBJECT
public:
    static constexpr int typingPauseMs = 250;
    explicit SearchField(QWidget *parent = nullptr);

signals:
    void searchRequested(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void searchNow();
    void textEdited(const QString &text);

    QTimer m_pause;
};
