#include "services/OVAttributedTextDisplay.h"

#include "platform/text/AttributeNames.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Color.h"
#include "platform/text/Font.h"

#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {

QColor toQColor(const Color& color)
{
    return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

QTextCharFormat formatOf(const AttributeDictionary& attributes)
{
    QTextCharFormat format;
    if (const AttributeValue* value = attributes.find(kFontAttributeName); value && value->font()) {
        const Font& font = *value->font();
        const QString family = font.familyName.isEmpty() ? font.fontName : font.familyName;
        if (!family.isEmpty())
            format.setFontFamilies({family});
        if (font.pointSize > 0)
            format.setFontPointSize(font.pointSize);
        format.setFontWeight(font.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(font.italic);
    }
    if (const AttributeValue* value = attributes.find(kForegroundColorAttributeName); value && value->color())
        format.setForeground(toQColor(*value->color()));
    if (const AttributeValue* value = attributes.find(kBackgroundColorAttributeName); value && value->color())
        format.setBackground(toQColor(*value->color()));
    if (const AttributeValue* value = attributes.find(kUnderlineStyleAttributeName);
        value && value->integer() != 0)
        format.setFontUnderline(true);
    return format;
}

} // namespace

void OVShowAttributedText(QTextEdit& view, const AttributedString& text)
{
    QTextDocument* document = view.document();
    document->clear();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    text.enumerateAttributes(
        Range{0, text.length()}, 0,
        [&cursor, &text](const AttributeDictionary& attributes, const Range& range, bool&) {
            QString part = text.string().mid(range.location, range.length);
            part.replace(QChar(0xFFFC), QString());
            cursor.insertText(part, formatOf(attributes));
        });
    cursor.endEditBlock();
    // The view's own cursor moved along with the insertions; left at the end, it would scroll the
    // text to its end as soon as the view is laid out.
    view.moveCursor(QTextCursor::Start);
}
