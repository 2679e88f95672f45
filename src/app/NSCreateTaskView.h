#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class XCoreDataManagement;
class XTask;

// The new-task form: a page URL, a note, the browser whose cookies yt-dlp uses and two format
// choices. It validates what the user entered and hands the values to whoever opened it,
// which creates the task after the form ended (createTaskIn).
class NSCreateTaskView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int NSModalResponseContinue = -1002;
    static constexpr int NSModalResponseAbort = -1001;

    explicit NSCreateTaskView(QWidget *parent = nullptr);

    // Filled by createAction, read after the form ended with NSModalResponseContinue.
    QString url() const { return m_url; }
    QString browser() const { return m_browser; }
    QString note() const { return m_note; }
    bool tryBestVideo() const { return m_tryBestVideo; }
    bool mustMP4Format() const { return m_mustMP4Format; }

    // Starts the URL field with the text, selected, so typing replaces it.
    void setURL(const QString &url);

    // The browser buttons as one exclusive choice: the checked one's index, -1 for none.
    int selectedSegment() const;
    void setSelectedSegment(int index);
    QString labelForSegment(int index) const;

    static bool isAvailableWebVideoURL(const QString &text);
    // Whether the browser at the index should be running and is not; -1 counts as "None",
    // an index past the last browser always warns.
    bool needShowAccountWarning(qint64 index) const;

    void createAction();
    void cancelAction();

    // The task the accepted values describe, created and saved in one step unless the
    // history has the URL by now (another process may have added it while the form was
    // open): then the user hears so, as from createAction, and the answer is null.
    std::shared_ptr<XTask> createTaskIn(XCoreDataManagement &store);
    // The refusal of a URL the history has.
    static void alertAlreadyExists(const QString &url, QWidget *parent);

signals:
    // The form is done: NSModalResponseContinue after createAction, NSModalResponseAbort
    // after cancelAction.
    void endSheet(int returnCode);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void awakeFromNib();
    void prefillFromClipboard();
    void refuseURL(const QString &message, const QString &informative);
    void rememberChoices() const;

    QLineEdit *m_urlTextField;
    QLineEdit *m_noteTextField;
    QButtonGroup *m_browserBox;
    QCheckBox *m_bestVideoButton;
    QCheckBox *m_mustMP4Button;
    QPushButton *m_createButton;
    QPushButton *m_cancelButton;

    QString m_url;
    QString m_browser;
    QString m_note;
    bool m_tryBestVideo = false;
    bool m_mustMP4Format = false;
};
