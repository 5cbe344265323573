#pragma once

#include <QString>

// One handle on a text ruler: a tab stop or one of the paragraph's three indents, at a location in
// points from the start of the line fragment (where a paragraph's indents and tab stops count from).
struct RulerMarker {
    enum class Kind { LeftTab, RightTab, CenterTab, DecimalTab, FirstLineHeadIndent, HeadIndent, TailIndent };

    Kind kind = Kind::LeftTab;
    double location = 0;
    // What the marker stands for: the indent's tag below, or for a tab stop its index in the
    // paragraph's tab stops as a decimal string.
    QString representedObject;

    bool isIndent() const
    {
        return kind == Kind::FirstLineHeadIndent || kind == Kind::HeadIndent || kind == Kind::TailIndent;
    }
    bool operator==(const RulerMarker&) const = default;
};

// The represented objects of the indent handles.
inline const QString kHeadIndentRulerMarkerTag = QStringLiteral("NSHeadIndentRulerMarkerTag");
inline const QString kTailIndentRulerMarkerTag = QStringLiteral("NSTailIndentRulerMarkerTag");
inline const QString kFirstLineHeadIndentRulerMarkerTag =
    QStringLiteral("NSFirstLineHeadIndentRulerMarkerTag");
