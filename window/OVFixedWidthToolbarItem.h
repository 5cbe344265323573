#pragma once

#include "platform/appkit/ToolbarItem.h"

#include <QStringList>

#include <memory>

// A toolbar button that keeps one width whatever its label says (Start or Pause, Blank or Unblank),
// so the items beside it never jump when the label changes: as wide as the widest label it can show.
class OVFixedWidthToolbarItem : public ToolbarItem {
public:
    static constexpr double kLabelPadding = 8;
    static constexpr double kMinimumWidth = 20;
    static constexpr double kMinimumHeight = 20;
    static constexpr double kMaximumHeight = 32;

    // No item for no labels.
    static std::unique_ptr<OVFixedWidthToolbarItem> itemWithPossibleLabels(const QString& identifier,
                                                                           const QStringList& labels);
    OVFixedWidthToolbarItem(const QString& identifier, double fixedWidth);

    double fixedWidth() const { return m_fixedWidth; }
    // The widest label in the font toolbar labels are drawn in, plus the padding, rounded up.
    static double widthForLabels(const QStringList& labels);

private:
    double m_fixedWidth;
};
