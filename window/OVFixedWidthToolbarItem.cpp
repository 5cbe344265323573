#include "window/OVFixedWidthToolbarItem.h"

#include <QApplication>
#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace {

// The font toolbar labels are drawn in: the buttons' own.
QFont labelFont()
{
    return QApplication::font("QToolButton");
}

} // namespace

double OVFixedWidthToolbarItem::widthForLabels(const QStringList& labels)
{
    const QFontMetricsF metrics(labelFont());
    double widest = 0;
    for (const QString& label : labels)
        widest = std::max(widest, metrics.horizontalAdvance(label));
    return std::ceil(widest + kLabelPadding);
}

std::unique_ptr<OVFixedWidthToolbarItem>
OVFixedWidthToolbarItem::itemWithPossibleLabels(const QString& identifier, const QStringList& labels)
{
    if (labels.isEmpty())
        return nullptr;
    return std::make_unique<OVFixedWidthToolbarItem>(identifier, widthForLabels(labels));
}

OVFixedWidthToolbarItem::OVFixedWidthToolbarItem(const QString& identifier, double fixedWidth)
    : ToolbarItem(identifier), m_fixedWidth(std::ceil(std::max(kMinimumWidth, fixedWidth)))
{
    // The toolbar sizes an item's button between these, so the width is fixed and the height free.
    setMinSize({m_fixedWidth, kMinimumHeight});
    setMaxSize({m_fixedWidth, kMaximumHeight});
}
