#include "gui/wizard/WizardPage.h"

#include "engine/app/UiTexts.h"
#include "engine/app/UserInterface.h"
#include "gui/dialogs/DialogUnits.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

void FitTextLabel(QLabel* label, int maxWidth) {
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : label->text().split('\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const int width = std::min(widest + 2, maxWidth);
    label->setFixedSize(width, label->heightForWidth(width));
}

CWizardPage::CWizardPage(QWidget* owner) : QDialog(owner) {
    setWindowTitle(kWizardCaption);
    auto* outer = new QVBoxLayout(this);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    const QRect margins = DialogRect(this, 7, 7, 7, 7);
    outer->setContentsMargins(margins.width(), margins.height(), margins.width(), margins.height());
    outer->setSpacing(DialogRect(this, 0, 0, 0, 10).height());
    m_pBody = new QVBoxLayout;
    m_pBody->setSpacing(DialogRect(this, 0, 0, 0, 6).height());
    outer->addLayout(m_pBody);
    m_pButtons = new QHBoxLayout;
    m_pButtons->addStretch(1);
    outer->addLayout(m_pButtons);
}

QLabel* CWizardPage::AddText(QBoxLayout* layout, const QString& text, int maxWidthDu) {
    auto* label = new QLabel(text, this);
    FitTextLabel(label, DialogRect(this, 0, 0, maxWidthDu, 0).width());
    layout->addWidget(label, 0, Qt::AlignLeft | Qt::AlignTop);
    m_texts << label;
    return label;
}

QPushButton* CWizardPage::AddButton(const QString& text, EWizardControl control, int result) {
    auto* button = new QPushButton(text, this);
    button->setProperty("controlId", static_cast<int>(control));
    // Enter must not press the button that has the focus: the page has no default button.
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setFixedSize(DialogRect(this, 0, 0, 50, 14).size());
    connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    m_pButtons->addWidget(button);
    m_buttons[result] = button;
    return button;
}

QPushButton* CWizardPage::Button(int result) const {
    const auto found = m_buttons.find(result);
    return found == m_buttons.end() ? nullptr : found->second;
}

QStringList CWizardPage::Texts() const {
    QStringList texts;
    for (const QLabel* label : m_texts)
        texts << label->text();
    return texts;
}

void CWizardPage::reject() {
    done(IDCANCEL);
}

void CWizardPage::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier ||
        (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter)) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            done(IDOK);
            return;
        }
    }
    QDialog::keyPressEvent(event);
}
