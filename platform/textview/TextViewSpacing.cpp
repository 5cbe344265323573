// The spacing panel of the text view: the paragraph spacing of the selection, set in one place.
#include "platform/textview/TextView.h"

#include "platform/appkit/Window.h"
#include "platform/text/ParagraphStyle.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace {

// Finite and within what a paragraph style can sensibly hold; anything else counts as none.
double bounded(double value, double maximum)
{
    return std::isfinite(value) ? std::clamp(value, 0.0, maximum) : 0.0;
}

constexpr double kMaximumMultiple = 10;
constexpr double kMaximumPoints = 1000;

QDoubleSpinBox* spinBox(QWidget* parent, const char* name, double maximum, double step, int decimals,
                        const QString& suffix)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(0, maximum);
    box->setSingleStep(step);
    box->setDecimals(decimals);
    box->setSuffix(suffix);
    box->setAccelerated(true);
    return box;
}

} // namespace

QDialog* TextView::spacingPanel() const
{
    return m_spacingPanel.data();
}

void TextView::applySpacing(const Spacing& spacing)
{
    const Spacing set{bounded(spacing.lineHeightMultiple, kMaximumMultiple),
                      bounded(spacing.lineSpacing, kMaximumPoints),
                      bounded(spacing.paragraphSpacingBefore, kMaximumPoints),
                      bounded(spacing.paragraphSpacing, kMaximumPoints)};
    changeSelectedParagraphStyles(
        [set](ParagraphStyle& style) {
            style.lineHeightMultiple = set.lineHeightMultiple;
            style.lineSpacing = set.lineSpacing;
            style.paragraphSpacingBefore = set.paragraphSpacingBefore;
            style.paragraphSpacing = set.paragraphSpacing;
        },
        QStringLiteral("Spacing"));
}

void TextView::orderFrontSpacingPanel()
{
    if (!isEditable())
        return;
    if (m_spacingPanel) {
        m_spacingPanel->raise();
        m_spacingPanel->activateWindow();
        return;
    }
    QWidget* parent = window() ? window()->hostWidget() : nullptr;
    auto* panel = new QDialog(parent);
    panel->setObjectName(QStringLiteral("spacingPanel"));
    panel->setWindowTitle(QStringLiteral("Spacing"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    auto* form = new QFormLayout(panel);
    QDoubleSpinBox* multiple =
        spinBox(panel, "lineHeightMultiple", kMaximumMultiple, 0.1, 1, QStringLiteral(" ×"));
    multiple->setSpecialValueText(QStringLiteral("Single"));
    QDoubleSpinBox* between = spinBox(panel, "lineSpacing", kMaximumPoints, 1, 1, QStringLiteral(" pt"));
    QDoubleSpinBox* before =
        spinBox(panel, "paragraphSpacingBefore", kMaximumPoints, 1, 1, QStringLiteral(" pt"));
    QDoubleSpinBox* after = spinBox(panel, "paragraphSpacing", kMaximumPoints, 1, 1, QStringLiteral(" pt"));
    form->addRow(QStringLiteral("Line height multiple:"), multiple);
    form->addRow(QStringLiteral("Between lines:"), between);
    form->addRow(QStringLiteral("Before paragraphs:"), before);
    form->addRow(QStringLiteral("After paragraphs:"), after);
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Apply | QDialogButtonBox::Cancel, panel);
    form->addRow(buttons);

    const ParagraphStyle current = rulerParagraphStyle();
    multiple->setValue(bounded(current.lineHeightMultiple, kMaximumMultiple));
    between->setValue(bounded(current.lineSpacing, kMaximumPoints));
    before->setValue(bounded(current.paragraphSpacingBefore, kMaximumPoints));
    after->setValue(bounded(current.paragraphSpacing, kMaximumPoints));

    // The panel goes with its view (the destructor deletes it), so the view is there whenever it
    // asks.
    const auto apply = [this, multiple, between, before, after] {
        applySpacing({multiple->value(), between->value(), before->value(), after->value()});
    };
    QObject::connect(buttons->button(QDialogButtonBox::Apply), &QAbstractButton::clicked, panel, apply);
    QObject::connect(buttons, &QDialogButtonBox::accepted, panel, [panel, apply] {
        apply();
        panel->accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, panel, &QDialog::reject);
    m_spacingPanel = panel;
    // Not modal: the script stays live behind it, as the platform's panels leave it.
    panel->show();
    panel->raise();
    panel->activateWindow();
}
