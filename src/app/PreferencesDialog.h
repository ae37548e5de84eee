#pragma once

#include <QDialog>
#include <QHash>

class PreferencesSheet;
class QLabel;

// The preferences sheet's window: one widget per control of the sheet,
// named as the control (tags as item data, or as the "tag" property of a
// matrix's buttons), redrawn from the sheet whenever it changes. It decides
// nothing itself. Closing it in any way (OK, Escape, the close button)
// accepts it. The sheet must outlive the dialog. Main thread only.
class PreferencesDialog : public QDialog
{
    Q_OBJECT
public:
    PreferencesDialog(PreferencesSheet &sheet, QWidget *parent = nullptr);

    // Shows what the sheet holds now.
    void refresh();

protected:
    void reject() override { accept(); }

private:
    QWidget *makeControl(const QString &name);

    PreferencesSheet &m_sheet;
    QHash<QString, QWidget *> m_controls;
    QHash<QString, QLabel *> m_valueTexts; // beside the sliders
    QHash<QString, QLabel *> m_labels;     // the labels that follow the theme
};
