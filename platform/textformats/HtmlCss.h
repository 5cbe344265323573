#pragma once

#include "platform/text/Color.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <optional>
#include <utility>
#include <vector>

// The part of CSS an HTML document's text needs: declarations ("name: value") from a style
// attribute or a <style> sheet, rules whose selectors are a type, a class or a type with a class
// (other selectors are skipped), and the values our model holds: lengths, colours, font names.
// Nothing is ever loaded: @import and url() are ignored.
namespace HtmlCss {

using Declarations = std::vector<std::pair<QString, QString>>;

// "a: b; c: d" with comments removed; names lower-case, values trimmed, "!important" dropped.
Declarations parseDeclarations(QStringView text);

class StyleSheet {
public:
    // Adds the rules of a <style> element's text. Bounded: rules past a limit are dropped.
    void addRules(QStringView css);
    // The declarations that apply to an element of tagName with classes, in the order they are
    // to be applied (lower specificity first, then the sheet's order).
    Declarations declarationsFor(const QString& tagName, const QStringList& classes) const;
    bool isEmpty() const { return m_rules.empty(); }

private:
    struct Rule {
        int specificity = 0;
        int order = 0;
        Declarations declarations;
    };
    // Keys: "tag", ".class", "tag.class", "*".
    QHash<QString, std::vector<int>> m_index;
    std::vector<Rule> m_rules;
};

// A length in points; percent and em are relative to reference (a font size or a width). Empty
// for anything that is not a finite length within sane bounds.
std::optional<double> length(QStringView value, double reference);
// "#rgb", "#rrggbb", "#rrggbbaa", "rgb(...)", "rgba(...)" and the common colour names; empty for
// "transparent" and anything unreadable.
std::optional<Color> color(QStringView value);
// The first family of a font-family list, unquoted, generic families named as fonts.
QString fontFamily(QStringView value);

} // namespace HtmlCss
