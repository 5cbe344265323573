#pragma once

#include "platform/foundation/Error.h"
#include "platform/text/AttributeDictionary.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Color.h"
#include "platform/text/DocumentAttributes.h"
#include "platform/text/Font.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/textformats/XmlScanner.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>
#include <vector>

// What the Word and OpenDocument readers and writers share: style properties that inherit, a bounded
// resolution of style chains, a guarded XML reader and a builder of the text model.
namespace OfficeText {

// Character properties a style may set; what it leaves unset comes from its parent.
struct CharacterProperties {
    std::optional<QString> family;
    std::optional<double> size;
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<bool> underline;
    std::optional<bool> strikethrough;
    std::optional<Color> color;
    std::optional<Color> background;
    std::optional<int> superscript;

    void inheritFrom(const CharacterProperties& parent);
    bool operator==(const CharacterProperties&) const = default;
};

struct ParagraphProperties {
    std::optional<TextAlignment> alignment;
    std::optional<double> leftIndent;
    std::optional<double> rightIndent;
    // The first line's indent relative to the others.
    std::optional<double> firstLineIndent;
    std::optional<double> spacingBefore;
    std::optional<double> spacingAfter;
    std::optional<double> lineHeightMultiple;
    std::optional<double> minimumLineHeight;

    void inheritFrom(const ParagraphProperties& parent);
    ParagraphStyle toParagraphStyle() const;
    static ParagraphProperties fromParagraphStyle(const ParagraphStyle& style);
    bool operator==(const ParagraphProperties&) const = default;
};

struct StyleProperties {
    CharacterProperties character;
    ParagraphProperties paragraph;
    void inheritFrom(const StyleProperties& parent)
    {
        character.inheritFrom(parent.character);
        paragraph.inheritFrom(parent.paragraph);
    }
};

// Named styles with a parent each. Resolution follows the chain a bounded number of steps and stops
// at a style met before, so a cycle or an endless chain ends instead of looping.
class StyleSheet {
public:
    void insert(const QString& name, const QString& parent, const StyleProperties& properties);
    bool contains(const QString& name) const { return m_styles.contains(name); }
    // The style's properties with all it inherits; empty for an unknown name.
    StyleProperties resolved(const QString& name) const;
    qsizetype size() const { return m_styles.size(); }

    static constexpr int kMaximumChain = 32;
    static constexpr qsizetype kMaximumStyles = 20000;

private:
    struct Entry {
        QString parent;
        StyleProperties properties;
    };
    QHash<QString, Entry> m_styles;
    mutable QHash<QString, StyleProperties> m_resolved;
};

// Reads the next token of a document part, refusing what such a part never holds: a document type
// declaration (the door to external entities and entity bombs) and nesting beyond a bound. Returns
// false at the end or on an error; error is then set when something was wrong.
bool readNext(XmlScanner& xml, int& depth, Error* error, const QString& part);
constexpr int kMaximumXmlDepth = 256;

// The text model built run by run.
class TextBuilder {
public:
    void append(QStringView characters, const AttributeDictionary& attributes);
    qsizetype length() const { return m_text.size(); }
    AttributedString result();

private:
    QString m_text;
    std::vector<AttributeRun> m_runs;
};

// The dictionaries of a document's few looks, made once: equal runs then share one dictionary, which
// compares by pointer when the builder joins runs.
class AttributeCache {
public:
    // The paragraph whose runs follow.
    void setParagraph(const ParagraphStyle& style);
    const AttributeDictionary& attributes(const CharacterProperties& run);

private:
    struct Paragraph {
        ParagraphStyle style;
        std::vector<std::pair<CharacterProperties, AttributeDictionary>> runs;
    };
    std::vector<Paragraph> m_paragraphs;
    size_t m_current = 0;
};

// The attributes of characters with these properties in a paragraph of that style.
AttributeDictionary attributesFor(const CharacterProperties& character, const ParagraphStyle& paragraph);
// The properties a run's attributes state, fully.
CharacterProperties characterPropertiesOf(const AttributeDictionary& attributes);

// Colours as six hex digits, without "#".
std::optional<Color> hexColor(QStringView text);
QString hexString(const Color& color);
// Points of an OpenDocument length ("2.5cm", "12pt", "0.5in"); nothing when it is no length.
std::optional<double> lengthInPoints(QStringView text);
// A number in points with at most four decimals, as XML attributes carry it.
QString number(double value);
// The bound a reader puts on one numeric property, so hostile values cannot reach the layout.
double clampPoints(double value);

// Appends text escaped for XML content or attribute values, leaving out what XML cannot hold
// (control characters, unpaired surrogates) and attachment characters, which these formats write
// nothing for.
void appendEscaped(QString& out, QStringView text);
QString escaped(QStringView text);

// Parses an ISO 8601 time; nothing when it is none.
std::optional<QDateTime> isoTime(const QString& text);
QString isoString(const QDateTime& time);

} // namespace OfficeText
