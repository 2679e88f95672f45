#include "app/NSCreateTaskView.h"

#include "desktop/Alerts.h"
#include "download/CookieBrowser.h"
#include "download/WebVideoURL.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
// Return creates only from a URL this long; shorter ones are still being typed.
constexpr int minimumURLLengthForReturn = 6;

} // namespace

NSCreateTaskView::NSCreateTaskView(QWidget *parent) : QWidget(parent)
{
    buildControls();
    awakeFromNib();
}

void NSCreateTaskView::buildControls()
{
    m_urlTextField = new QLineEdit(this);
    m_urlTextField->setMinimumWidth(420);
    m_urlTextField->setPlaceholderText(QStringLiteral("https://"));
    m_noteTextField = new QLineEdit(this);

    auto *browserRow = new QWidget(this);
    auto *browserLayout = new QHBoxLayout(browserRow);
    browserLayout->setContentsMargins(0, 0, 0, 0);
    browserLayout->setSpacing(0);
    m_browserBox = new QButtonGroup(this);
    m_browserBox->setExclusive(true);
    const QStringList labels = CookieBrowser::labels();
    for (int index = 0; index < labels.size(); ++index) {
        QPushButton *segment = new QPushButton(labels[index], browserRow);
        segment->setCheckable(true);
        m_browserBox->addButton(segment, index);
        browserLayout->addWidget(segment);
    }
    browserLayout->addStretch();

    m_bestVideoButton = new QCheckBox(tr("Try the best video and audio"), this);
    m_mustMP4Button = new QCheckBox(tr("MP4 only"), this);

    auto *form = new QFormLayout;
    form->addRow(tr("URL"), m_urlTextField);
    form->addRow(tr("Note"), m_noteTextField);
    form->addRow(tr("Cookies from"), browserRow);
    form->addRow(QString(), m_bestVideoButton);
    form->addRow(QString(), m_mustMP4Button);

    m_cancelButton = new QPushButton(tr("Cancel"), this);
    m_createButton = new QPushButton(tr("Create"), this);
    connect(m_cancelButton, &QPushButton::clicked, this, &NSCreateTaskView::cancelAction);
    connect(m_createButton, &QPushButton::clicked, this, &NSCreateTaskView::createAction);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_createButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    m_urlTextField->installEventFilter(this);
}

void NSCreateTaskView::awakeFromNib()
{
    // Without a remembered browser "None" stands, never no choice at all.
    setSelectedSegment(0);
    const QString lastBrowser =
        StoredSettings::stringValue(StoredSettings::KEY_LAST_SELECTED_COOKIE_BROWSER);
    if (!lastBrowser.isEmpty()) {
        const int index = CookieBrowser::labels().indexOf(lastBrowser);
        if (index >= 0) setSelectedSegment(index);
    }
    m_mustMP4Button->setChecked(
        StoredSettings::boolValue(StoredSettings::KEY_NSCreateTaskView_LAST_MP4));
    m_bestVideoButton->setChecked(
        StoredSettings::boolValue(StoredSettings::KEY_NSCreateTaskView_LAST_BESTVIDEO));
    prefillFromClipboard();
}

void NSCreateTaskView::prefillFromClipboard()
{
    const QString copied = QGuiApplication::clipboard()->text().trimmed();
    if (!isAvailableWebVideoURL(copied) || copied.contains(QLatin1Char('\n'))) return;
    if (XCoreDataManagement::shared().existURL(copied)) return;
    setURL(copied);
}

void NSCreateTaskView::setURL(const QString &url)
{
    m_urlTextField->setText(url);
    m_urlTextField->selectAll();
}

int NSCreateTaskView::selectedSegment() const
{
    return m_browserBox->checkedId();
}

void NSCreateTaskView::setSelectedSegment(int index)
{
    if (QAbstractButton *segment = m_browserBox->button(index)) segment->setChecked(true);
}

QString NSCreateTaskView::labelForSegment(int index) const
{
    const QAbstractButton *segment = m_browserBox->button(index);
    return segment ? segment->text() : QString();
}

bool NSCreateTaskView::isAvailableWebVideoURL(const QString &text)
{
    return WebVideoURL::isAvailableWebVideoURL(text);
}

bool NSCreateTaskView::needShowAccountWarning(qint64 index) const
{
    if (index <= 0) return false;
    if (index >= m_browserBox->buttons().size()) return true;
    return CookieBrowser::needShowAccountWarning(labelForSegment(int(index)));
}

void NSCreateTaskView::createAction()
{
    // A pasted URL often brings a space or a line break along.
    m_url = m_urlTextField->text().trimmed();
    if (!isAvailableWebVideoURL(m_url)) {
        refuseURL(tr("视频地址错误"), tr("%1 不是正确的视频网址链接.").arg(m_url));
        return;
    }
    if (XCoreDataManagement::shared().existURL(m_url)) {
        alertAlreadyExists(m_url, window());
        m_urlTextField->clear();
        return;
    }
    const int segment = qMax(selectedSegment(), 0);
    m_browser = labelForSegment(segment);
    if (needShowAccountWarning(segment)) {
        Alert warning;
        warning.messageText = tr("Warning");
        warning.informativeText =
            tr("Selected browser is NOT running, Zelvo may can NOT get your account "
               "infomation.\n\nDo you want to continue?");
        warning.buttons = QStringList{tr("Continue"), tr("Stop")};
        if (Alerts::run(warning, window()).response != Alert::FirstButtonReturn) return;
    }
    m_note = m_noteTextField->text();
    m_tryBestVideo = m_bestVideoButton->isChecked();
    m_mustMP4Format = m_mustMP4Button->isChecked();
    rememberChoices();
    emit endSheet(NSModalResponseContinue);
}

void NSCreateTaskView::refuseURL(const QString &message, const QString &informative)
{
    Alert alert;
    alert.messageText = message;
    alert.informativeText = informative;
    Alerts::run(alert, window());
    m_urlTextField->clear();
}

void NSCreateTaskView::alertAlreadyExists(const QString &url, QWidget *parent)
{
    Alert alert;
    alert.messageText = tr("已经存在");
    alert.informativeText = tr("%1 已经下载过了.").arg(url);
    Alerts::run(alert, parent);
}

void NSCreateTaskView::rememberChoices() const
{
    StoredSettings::setValue(StoredSettings::KEY_NSCreateTaskView_LAST_BESTVIDEO, m_tryBestVideo);
    StoredSettings::setValue(StoredSettings::KEY_NSCreateTaskView_LAST_MP4, m_mustMP4Format);
    StoredSettings::setValue(StoredSettings::KEY_LAST_SELECTED_COOKIE_BROWSER, m_browser);
}

void NSCreateTaskView::cancelAction()
{
    emit endSheet(NSModalResponseAbort);
}

std::shared_ptr<XTask> NSCreateTaskView::createTaskIn(XCoreDataManagement &store)
{
    const auto [task, created] =
        store.creatTaskUnlessKnown(m_url, m_browser, m_note, [this](XTask &fresh) {
            fresh.setTryBestVideo(m_tryBestVideo);
            fresh.setMustMP4Format(m_mustMP4Format);
        });
    if (created) return task;
    // The form has ended by now; its alerts belong over the window it was opened on.
    QWidget *parent = window()->isVisible() ? window() : window()->parentWidget();
    if (task) {
        alertAlreadyExists(m_url, parent);
    } else {
        Alert failure;
        failure.messageText = tr("The task could not be stored.");
        failure.informativeText = store.isOpen() ? store.lastSaveError() : store.openError();
        Alerts::run(failure, parent);
    }
    return nullptr;
}

bool NSCreateTaskView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_urlTextField || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    if (m_urlTextField->text().size() >= minimumURLLengthForReturn) createAction();
    return true; // never on to the dialog
}
