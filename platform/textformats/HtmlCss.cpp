#include "platform/textformats/HtmlCss.h"

#include "platform/foundation/HexDigit.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace HtmlCss {

namespace {

constexpr int kMaximumRules = 20000;
constexpr int kMaximumDeclarations = 256;
// No real length in a script is larger; this keeps sizes and indents from overflowing layout.
constexpr double kMaximumLength = 100000;

QString withoutComments(QStringView text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype start = text.indexOf(u"/*", i);
        if (start < 0) {
            out.append(text.sliced(i));
            break;
        }
        out.append(text.sliced(i, start - i));
        const qsizetype end = text.indexOf(u"*/", start + 2);
        i = end < 0 ? text.size() : end + 2;
    }
    return out;
}

std::optional<Color> hexColor(QStringView hex)
{
    int digits[8];
    if (hex.size() != 3 && hex.size() != 4 && hex.size() != 6 && hex.size() != 8)
        return std::nullopt;
    for (qsizetype i = 0; i < hex.size(); ++i)
        if ((digits[i] = hexDigitValue(hex[i])) < 0)
            return std::nullopt;
    if (hex.size() <= 4) {
        const int alpha = hex.size() == 4 ? digits[3] * 17 : 255;
        return Color::fromRgb8(digits[0] * 17, digits[1] * 17, digits[2] * 17, alpha);
    }
    const int alpha = hex.size() == 8 ? digits[6] * 16 + digits[7] : 255;
    return Color::fromRgb8(digits[0] * 16 + digits[1], digits[2] * 16 + digits[3], digits[4] * 16 + digits[5],
                           alpha);
}

std::optional<double> component(QString part, double scale)
{
    part = part.trimmed();
    bool percent = part.endsWith(u'%');
    if (percent)
        part.chop(1);
    bool ok = false;
    const double value = part.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return std::clamp(percent ? value / 100.0 : value / scale, 0.0, 1.0);
}

std::optional<Color> functionalColor(QStringView value)
{
    const qsizetype open = value.indexOf(u'(');
    const qsizetype close = value.lastIndexOf(u')');
    if (open < 0 || close < open)
        return std::nullopt;
    QString inside = value.sliced(open + 1, close - open - 1).toString();
    inside.replace(u'/', u',');
    QStringList parts = inside.contains(u',') ? inside.split(u',') : inside.simplified().split(u' ');
    if (parts.size() != 3 && parts.size() != 4)
        return std::nullopt;
    double channels[4] = {0, 0, 0, 1};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const auto c = component(parts[i], i == 3 ? 1.0 : 255.0);
        if (!c)
            return std::nullopt;
        channels[i] = *c;
    }
    return Color::rgb(channels[0], channels[1], channels[2], channels[3]);
}

const QHash<QString, QString>& namedColors()
{
    static const QHash<QString, QString> table{
        {"black", "000000"},    {"silver", "c0c0c0"},    {"gray", "808080"},      {"grey", "808080"},
        {"white", "ffffff"},    {"maroon", "800000"},    {"red", "ff0000"},       {"purple", "800080"},
        {"fuchsia", "ff00ff"},  {"magenta", "ff00ff"},   {"green", "008000"},     {"lime", "00ff00"},
        {"olive", "808000"},    {"yellow", "ffff00"},    {"navy", "000080"},      {"blue", "0000ff"},
        {"teal", "008080"},     {"aqua", "00ffff"},      {"cyan", "00ffff"},      {"orange", "ffa500"},
        {"darkgray", "a9a9a9"}, {"darkgrey", "a9a9a9"},  {"lightgray", "d3d3d3"}, {"lightgrey", "d3d3d3"},
        {"darkred", "8b0000"},  {"darkgreen", "006400"}, {"darkblue", "00008b"},  {"brown", "a52a2a"},
        {"pink", "ffc0cb"},     {"gold", "ffd700"},      {"indigo", "4b0082"},    {"violet", "ee82ee"},
    };
    return table;
}

} // namespace

Declarations parseDeclarations(QStringView text)
{
    Declarations out;
    const QString clean = withoutComments(text);
    for (const QStringView part : QStringView(clean).split(u';')) {
        if (int(out.size()) >= kMaximumDeclarations)
            break;
        const qsizetype colon = part.indexOf(u':');
        if (colon <= 0)
            continue;
        QString name = part.first(colon).trimmed().toString().toLower();
        QString value = part.sliced(colon + 1).trimmed().toString();
        const qsizetype important = value.indexOf(u'!');
        if (important >= 0)
            value = value.first(important).trimmed();
        if (!name.isEmpty() && !value.isEmpty())
            out.emplace_back(std::move(name), std::move(value));
    }
    return out;
}

void StyleSheet::addRules(QStringView css)
{
    const QString clean = withoutComments(css);
    const QStringView text(clean);
    qsizetype i = 0;
    while (i < text.size() && int(m_rules.size()) < kMaximumRules) {
        const qsizetype open = text.indexOf(u'{', i);
        if (open < 0)
            break;
        const QStringView selectors = text.sliced(i, open - i).trimmed();
        // Skips a block with nested blocks (an @media rule) as one, with a flat counter.
        int depth = 0;
        qsizetype close = open;
        for (; close < text.size(); ++close) {
            if (text[close] == u'{')
                ++depth;
            else if (text[close] == u'}' && --depth == 0)
                break;
        }
        const QStringView body =
            text.sliced(open + 1, std::max<qsizetype>(0, std::min(close, text.size()) - open - 1));
        i = close + 1;
        // At-rules (@media, @font-face, @import) hold nothing a script needs and nothing is fetched.
        const qsizetype at = selectors.lastIndexOf(u';');
        const QStringView selectorList = at >= 0 ? selectors.sliced(at + 1).trimmed() : selectors;
        if (selectorList.startsWith(u'@') || body.contains(u'{'))
            continue;
        Rule rule;
        rule.order = int(m_rules.size());
        rule.declarations = parseDeclarations(body);
        if (rule.declarations.empty())
            continue;
        for (const QStringView selector : selectorList.split(u',')) {
            const QString s = selector.trimmed().toString();
            if (s.isEmpty())
                continue;
            // Only a simple selector: a type, a class or both; combinators, ids and pseudo-classes
            // would need the document's tree, which a script does not keep.
            bool simple = true;
            for (const QChar c : s)
                if (!(c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u'.' || c == u'*'))
                    simple = false;
            if (!simple || s.count(u'.') > 1)
                continue;
            const qsizetype dot = s.indexOf(u'.');
            const QString tag = (dot < 0 ? s : s.first(dot)).toLower();
            const QString cls = dot < 0 ? QString() : s.sliced(dot + 1);
            if (dot >= 0 && cls.isEmpty())
                continue;
            Rule copy = rule;
            copy.specificity = (cls.isEmpty() ? 0 : 10) + (tag.isEmpty() || tag == u"*" ? 0 : 1);
            const QString key = cls.isEmpty() ? tag : (tag == u"*" ? QString() : tag) + u'.' + cls;
            m_index[key].push_back(int(m_rules.size()));
            m_rules.push_back(std::move(copy));
        }
    }
}

Declarations StyleSheet::declarationsFor(const QString& tagName, const QStringList& classes) const
{
    if (m_rules.empty())
        return {};
    std::vector<int> matches;
    auto collect = [&](const QString& key) {
        const auto it = m_index.constFind(key);
        if (it != m_index.constEnd())
            matches.insert(matches.end(), it->begin(), it->end());
    };
    collect(QStringLiteral("*"));
    collect(tagName);
    for (const QString& cls : classes) {
        collect(u'.' + cls);
        collect(tagName + u'.' + cls);
    }
    std::sort(matches.begin(), matches.end(), [&](int a, int b) {
        const Rule& x = m_rules[size_t(a)];
        const Rule& y = m_rules[size_t(b)];
        return x.specificity != y.specificity ? x.specificity < y.specificity : a < b;
    });
    matches.erase(std::unique(matches.begin(), matches.end()), matches.end());
    Declarations out;
    for (const int index : matches)
        for (const auto& declaration : m_rules[size_t(index)].declarations)
            out.push_back(declaration);
    return out;
}

std::optional<double> length(QStringView value, double reference)
{
    const QString v = value.trimmed().toString().toLower();
    qsizetype unitStart = 0;
    while (unitStart < v.size() && (v[unitStart].isDigit() || v[unitStart] == u'.' || v[unitStart] == u'-' ||
                                    v[unitStart] == u'+' || v[unitStart] == u'e'))
        ++unitStart;
    // "e" belongs to "em" when a unit follows it.
    if (unitStart > 0 && v[unitStart - 1] == u'e' && unitStart < v.size() && v[unitStart] == u'm')
        --unitStart;
    bool ok = false;
    const double number = v.first(unitStart).toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    const QStringView unit = QStringView(v).sliced(unitStart).trimmed();
    double points = 0;
    if (unit.isEmpty() || unit == u"px")
        points = number * 0.75;
    else if (unit == u"pt")
        points = number;
    else if (unit == u"em" || unit == u"rem")
        points = number * reference;
    else if (unit == u"%")
        points = number * reference / 100.0;
    else if (unit == u"in")
        points = number * 72.0;
    else if (unit == u"cm")
        points = number * 72.0 / 2.54;
    else if (unit == u"mm")
        points = number * 72.0 / 25.4;
    else if (unit == u"pc")
        points = number * 12.0;
    else
        return std::nullopt;
    if (!std::isfinite(points) || std::abs(points) > kMaximumLength)
        return std::nullopt;
    return points;
}

std::optional<Color> color(QStringView value)
{
    const QString v = value.trimmed().toString().toLower();
    if (v.startsWith(u'#'))
        return hexColor(QStringView(v).sliced(1));
    if (v.startsWith(u"rgb"))
        return functionalColor(v);
    const auto it = namedColors().constFind(v);
    if (it != namedColors().constEnd())
        return hexColor(*it);
    return std::nullopt;
}

QString fontFamily(QStringView value)
{
    QString first = value.split(u',').value(0).trimmed().toString();
    if (first.size() >= 2 && (first.front() == u'"' || first.front() == u'\'') &&
        first.back() == first.front())
        first = first.sliced(1, first.size() - 2).trimmed();
    const QString lower = first.toLower();
    if (lower == u"serif")
        return QStringLiteral("Times");
    if (lower == u"sans-serif" || lower == u"system-ui" || lower == u"-apple-system")
        return QStringLiteral("Helvetica");
    if (lower == u"monospace")
        return QStringLiteral("Courier");
    return first;
}

} // namespace HtmlCss
