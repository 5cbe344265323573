#pragma once

#include <QList>

// Horizontal alignment of a paragraph, with the platform's raw values (stored in archives).
enum class TextAlignment : int { Left = 0, Right = 1, Center = 2, Justified = 3, Natural = 4 };

// Writing direction of a paragraph; Natural follows the text's first strong character.
enum class WritingDirection : int { Natural = -1, LeftToRight = 0, RightToLeft = 1 };

// How lines that do not fit are broken; the editor keeps only word wrapping.
enum class LineBreakMode : int {
    WordWrapping = 0,
    CharWrapping = 1,
    Clipping = 2,
    TruncatingHead = 3,
    TruncatingTail = 4,
    TruncatingMiddle = 5
};

enum class TextTabType : int { Left = 0, Right = 1, Center = 2, Decimal = 3 };

// One tab stop: where it stands (points from the line's start) and how text aligns on it.
struct TextTab {
    TextTabType type = TextTabType::Left;
    double location = 0;

    bool operator==(const TextTab&) const = default;
};

// Paragraph formatting, a plain value compared field by field. A default-constructed style is the
// platform's default style, tab stops included, so files that never mention tabs read back equal.
struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::Natural;
    double firstLineHeadIndent = 0;
    double headIndent = 0;
    // Positive: from the line's start; zero or negative: from its end, as the platform counts it.
    double tailIndent = 0;
    double lineSpacing = 0;
    double paragraphSpacing = 0;
    double paragraphSpacingBefore = 0;
    double lineHeightMultiple = 0;
    double minimumLineHeight = 0;
    double maximumLineHeight = 0;
    QList<TextTab> tabStops = defaultTabStops();
    double defaultTabInterval = 0;
    WritingDirection baseWritingDirection = WritingDirection::Natural;
    LineBreakMode lineBreakMode = LineBreakMode::WordWrapping;

    // Twelve left tabs every 28 points.
    static QList<TextTab> defaultTabStops();

    bool operator==(const ParagraphStyle&) const = default;
};
