#include "app/PreferencesDialog.h"

#include "session/PreferencesSheet.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

using Kind = PreferencesSheet::Kind;
using Group = PreferencesSheet::Group;

// Sliders count in hundredths for the float settings.
constexpr double kFloatScale = 100.0;

QString sliderText(Kind kind, int position)
{
    if (kind == Kind::FloatSlider)
        return QString::number(position / kFloatScale, 'f', 2);
    // Twenty frames a second.
    return PreferencesDialog::tr("%1 frames (%2 s)").arg(position).arg(position / 20.0, 0, 'f', 1);
}

// The informative lines under two of the theme's controls.
QString infoText(const QString &label)
{
    if (label == QLatin1String("centredInfo"))
        return PreferencesDialog::tr("In the themes that move the artwork");
    return PreferencesDialog::tr("Stars or hearts, where the player keeps them");
}

} // namespace

PreferencesDialog::PreferencesDialog(PreferencesSheet &sheet, QWidget *parent)
    : QDialog(parent), m_sheet(sheet)
{
    setWindowTitle(tr("Coverlume Preferences"));
    setObjectName(QStringLiteral("prefsWindow"));

    const std::pair<Group, QString> groups[] = {
        {Group::Theme, tr("Display")},   {Group::Look, tr("Theme look")}, {Group::Details, tr("Track details")},
        {Group::Playback, tr("Playback")}, {Group::Window, tr("Window")},
    };
    QHash<Group, QFormLayout *> forms;
    QHash<Group, QGroupBox *> boxes;
    for (const auto &[group, title] : groups) {
        auto *box = new QGroupBox(title, this);
        if (group == Group::Details) {
            new QGridLayout(box);
            boxes.insert(group, box);
            continue;
        }
        auto *form = new QFormLayout(box);
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
        forms.insert(group, form);
        boxes.insert(group, box);
    }

    QHash<QString, QString> labelFor; // control → its theme-following label
    for (const auto &[label, controlName] : PreferencesSheet::labels())
        labelFor.insert(controlName, label);

    for (const PreferencesSheet::Control &c : PreferencesSheet::controls()) {
        QWidget *widget = makeControl(c.name);
        QFormLayout *form = forms.value(c.group);
        const QString label = labelFor.value(c.name);
        if (c.group == Group::Details) {
            // Two columns of boxes.
            auto *grid = qobject_cast<QGridLayout *>(boxes.value(Group::Details)->layout());
            const int index = grid->count();
            grid->addWidget(widget, index / 2, index % 2);
            continue;
        }
        if (c.kind == Kind::Check) {
            form->addRow(widget);
            // The two informative lines sit under their box.
            if (!label.isEmpty()) {
                auto *info = new QLabel(infoText(label), widget->parentWidget());
                info->setObjectName(label);
                info->setIndent(24);
                QFont small = info->font();
                small.setPointSizeF(small.pointSizeF() * 0.9);
                info->setFont(small);
                form->addRow(info);
                m_labels.insert(label, info);
            }
            continue;
        }
        auto *title = new QLabel(c.title);
        title->setObjectName(label.isEmpty() ? c.name + QStringLiteral("Label") : label);
        title->setBuddy(widget);
        if (!label.isEmpty())
            m_labels.insert(label, title);
        form->addRow(title, widget);
    }

    auto *left = new QVBoxLayout;
    left->addWidget(boxes.value(Group::Theme));
    left->addWidget(boxes.value(Group::Look));
    left->addWidget(boxes.value(Group::Details));
    left->addStretch(1);
    auto *right = new QVBoxLayout;
    right->addWidget(boxes.value(Group::Playback));
    right->addWidget(boxes.value(Group::Window));
    right->addStretch(1);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);

    refresh();
}

QWidget *PreferencesDialog::makeControl(const QString &name)
{
    const PreferencesSheet::Control &c = *PreferencesSheet::control(name);
    QWidget *widget = nullptr;
    switch (c.kind) {
    case Kind::PopUp: {
        auto *box = new QComboBox(this);
        for (const PreferencesSheet::Item &item : PreferencesSheet::items(name))
            box->addItem(item.title, item.tag);
        connect(box, &QComboBox::activated, this,
                [this, box, name](int index) { m_sheet.setValue(name, box->itemData(index)); });
        widget = box;
        break;
    }
    case Kind::Matrix: {
        widget = new QWidget(this);
        auto *row = new QHBoxLayout(widget);
        row->setContentsMargins(0, 0, 0, 0);
        auto *buttons = new QButtonGroup(widget);
        for (const PreferencesSheet::Item &item : PreferencesSheet::items(name)) {
            auto *button = new QRadioButton(item.title, widget);
            button->setProperty("tag", item.tag);
            buttons->addButton(button, item.tag);
            row->addWidget(button);
        }
        row->addStretch(1);
        connect(buttons, &QButtonGroup::idClicked, this, [this, name](int tag) { m_sheet.setValue(name, tag); });
        break;
    }
    case Kind::FloatSlider:
    case Kind::IntSlider: {
        widget = new QWidget(this);
        auto *row = new QHBoxLayout(widget);
        row->setContentsMargins(0, 0, 0, 0);
        auto *slider = new QSlider(Qt::Horizontal, widget);
        const double scale = c.kind == Kind::FloatSlider ? kFloatScale : 1.0;
        slider->setRange(int(std::lround(c.minimum * scale)), int(std::lround(c.maximum * scale)));
        slider->setSingleStep(c.kind == Kind::FloatSlider ? 1 : 20);
        slider->setPageStep(c.kind == Kind::FloatSlider ? 10 : 200);
        slider->setMinimumWidth(120);
        // The setting changes where the slider comes to rest, not at every step.
        slider->setTracking(false);
        auto *text = new QLabel(widget);
        text->setMinimumWidth(text->fontMetrics().horizontalAdvance(sliderText(c.kind, int(c.maximum * scale))));
        row->addWidget(slider, 1);
        row->addWidget(text);
        m_valueTexts.insert(name, text);
        connect(slider, &QSlider::sliderMoved, text, [text, kind = c.kind](int v) { text->setText(sliderText(kind, v)); });
        connect(slider, &QSlider::valueChanged, this,
                [this, name, scale](int v) { m_sheet.setValue(name, v / scale); });
        slider->setObjectName(name);
        m_controls.insert(name, slider);
        widget->setObjectName(name + QStringLiteral("Row"));
        return widget;
    }
    case Kind::Check: {
        auto *box = new QCheckBox(c.title, this);
        connect(box, &QCheckBox::clicked, this, [this, name](bool on) { m_sheet.setValue(name, on); });
        widget = box;
        break;
    }
    case Kind::Text: {
        auto *field = new QLineEdit(this);
        field->setValidator(new QIntValidator(0, 86400, field));
        field->setPlaceholderText(tr("seconds"));
        field->setMaxLength(6);
        field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 16);
        connect(field, &QLineEdit::textEdited, this, [this, name](const QString &text) { m_sheet.setValue(name, text); });
        widget = field;
        break;
    }
    case Kind::Minutes: {
        auto *spin = new QSpinBox(this);
        spin->setRange(int(c.minimum), int(c.maximum));
        spin->setSuffix(tr(" min"));
        spin->setSpecialValueText(tr("Never"));
        spin->setMaximumWidth(spin->fontMetrics().horizontalAdvance(QStringLiteral("0000000 min")) + 40);
        connect(spin, &QSpinBox::valueChanged, this, [this, name](int v) { m_sheet.setValue(name, v); });
        widget = spin;
        break;
    }
    }
    widget->setObjectName(name);
    m_controls.insert(name, widget);
    return widget;
}

void PreferencesDialog::refresh()
{
    for (auto it = m_controls.cbegin(); it != m_controls.cend(); ++it) {
        const QString &name = it.key();
        QWidget *widget = it.value();
        const QVariant v = m_sheet.value(name);
        const QSignalBlocker quiet(widget);
        if (auto *box = qobject_cast<QComboBox *>(widget)) {
            box->setCurrentIndex(box->findData(v.toInt()));
        } else if (auto *slider = qobject_cast<QSlider *>(widget)) {
            const bool isFloat = PreferencesSheet::control(name)->kind == Kind::FloatSlider;
            slider->setValue(int(std::lround(v.toDouble() * (isFloat ? kFloatScale : 1.0))));
            m_valueTexts.value(name)->setText(sliderText(PreferencesSheet::control(name)->kind, slider->value()));
        } else if (auto *check = qobject_cast<QCheckBox *>(widget)) {
            check->setChecked(v.toBool());
        } else if (auto *field = qobject_cast<QLineEdit *>(widget)) {
            if (field->text() != v.toString())
                field->setText(v.toString());
        } else if (auto *spin = qobject_cast<QSpinBox *>(widget)) {
            spin->setValue(v.toInt());
        } else {
            // A matrix: the button whose tag is the value.
            for (QRadioButton *button : widget->findChildren<QRadioButton *>()) {
                const QSignalBlocker quietButton(button);
                button->setChecked(button->property("tag").toInt() == v.toInt());
            }
        }
        widget->setEnabled(m_sheet.isEnabled(name));
        if (QLabel *text = m_valueTexts.value(name))
            text->setEnabled(m_sheet.isEnabled(name));
    }
    for (auto it = m_labels.cbegin(); it != m_labels.cend(); ++it)
        it.value()->setEnabled(!m_sheet.isLabelDisabled(it.key()));
}
