#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

// The console: the program's own log output, read-only, the newest line
// last, at most maxLines lines (the oldest go first). Ctrl+F opens a find
// bar: Enter finds the next match, Shift+Enter the previous one, both wrap
// around; Escape closes the bar. Main thread only.
class ConsoleWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int maxLines = 5000;

    explicit ConsoleWindow(QWidget *parent = nullptr);

    void appendLines(const QStringList &lines);
    QPlainTextEdit *textView() const { return m_text; }

public Q_SLOTS:
    void showAndRaise();
    void openFindBar();
    void findNext();
    void findPrevious();

private:
    QWidget *buildFindBar();
    void find(bool backwards);

    QPlainTextEdit *m_text;
    QWidget *m_findBar;
    QLineEdit *m_findField;
    QLabel *m_findStatus;
};
