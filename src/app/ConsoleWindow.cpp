#include "app/ConsoleWindow.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Enter finds forwards, Shift+Enter backwards, Escape closes the bar.
class FindField : public QLineEdit
{
public:
    FindField(ConsoleWindow *console, QWidget *closeTarget)
        : m_console(console), m_closeTarget(closeTarget) {}

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && (event->modifiers() & Qt::ShiftModifier)) {
            m_console->findPrevious();
        } else if (enter) {
            m_console->findNext();
        } else if (event->key() == Qt::Key_Escape) {
            m_closeTarget->hide();
        } else {
            QLineEdit::keyPressEvent(event);
        }
    }

private:
    ConsoleWindow *m_console;
    QWidget *m_closeTarget;
};

} // namespace

ConsoleWindow::ConsoleWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_text(new QPlainTextEdit(this))
{
    setWindowTitle(tr("Console"));
    resize(720, 420);

    m_text->setReadOnly(true);
    m_text->setMaximumBlockCount(maxLines);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setFont(QFont(QStringLiteral("monospace")));
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    m_findBar = buildFindBar();
    m_findBar->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_findBar);
    layout->addWidget(m_text);

    auto *findShortcut = new QShortcut(QKeySequence::Find, this);
    connect(findShortcut, &QShortcut::activated, this, &ConsoleWindow::openFindBar);
    auto *nextShortcut = new QShortcut(QKeySequence::FindNext, this);
    connect(nextShortcut, &QShortcut::activated, this, &ConsoleWindow::findNext);
    auto *previousShortcut = new QShortcut(QKeySequence::FindPrevious, this);
    connect(previousShortcut, &QShortcut::activated, this, &ConsoleWindow::findPrevious);
}

QWidget *ConsoleWindow::buildFindBar()
{
    auto *bar = new QWidget(this);
    m_findField = new FindField(this, bar);
    m_findField->setPlaceholderText(tr("Find"));
    m_findField->setClearButtonEnabled(true);
    m_findStatus = new QLabel(bar);

    auto *previous = new QToolButton(bar);
    previous->setArrowType(Qt::UpArrow);
    previous->setToolTip(tr("Find Previous"));
    connect(previous, &QToolButton::clicked, this, &ConsoleWindow::findPrevious);
    auto *next = new QToolButton(bar);
    next->setArrowType(Qt::DownArrow);
    next->setToolTip(tr("Find Next"));
    connect(next, &QToolButton::clicked, this, &ConsoleWindow::findNext);
    auto *done = new QToolButton(bar);
    done->setText(tr("Done"));
    connect(done, &QToolButton::clicked, bar, &QWidget::hide);
    connect(m_findField, &QLineEdit::textChanged, m_findStatus, &QLabel::clear);

    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(m_findField, 1);
    layout->addWidget(m_findStatus);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(done);
    return bar;
}

void ConsoleWindow::appendLines(const QStringList &lines)
{
    if (lines.isEmpty())
        return;
    // Follow the output only when the reader is already at the end.
    QScrollBar *bar = m_text->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    for (const QString &line : lines)
        m_text->appendPlainText(line);
    if (atEnd)
        bar->setValue(bar->maximum());
}

void ConsoleWindow::showAndRaise()
{
    show();
    raise();
    activateWindow();
}

void ConsoleWindow::openFindBar()
{
    m_findBar->show();
    m_findField->setFocus();
    m_findField->selectAll();
}

void ConsoleWindow::findNext()
{
    find(false);
}

void ConsoleWindow::findPrevious()
{
    find(true);
}

void ConsoleWindow::find(bool backwards)
{
    const QString needle = m_findField->text();
    if (needle.isEmpty()) {
        openFindBar();
        return;
    }
    const QTextDocument::FindFlags flags = backwards ? QTextDocument::FindBackward
                                                     : QTextDocument::FindFlags();
    if (m_text->find(needle, flags)) {
        m_findStatus->clear();
        return;
    }
    // Wrap around to the other end and try once more.
    const QTextCursor before = m_text->textCursor();
    QTextCursor wrapped = before;
    wrapped.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
    m_text->setTextCursor(wrapped);
    if (m_text->find(needle, flags)) {
        m_findStatus->setText(tr("Wrapped"));
    } else {
        m_text->setTextCursor(before);
        m_findStatus->setText(tr("Not found"));
    }
}
