#pragma once

#include <QString>
#include <QStringView>

#include <utility>
#include <vector>

// Splits HTML text into tags and character data, as a browser's tokenizer does for the cases a
// document holds: attributes quoted or not, comments, declarations and processing instructions
// skipped, the contents of <script>, <style>, <title> and <textarea> taken as raw text up to their
// end tag. Every input gives tokens; an unclosed tag or comment simply ends at the end of the text.
class HtmlTokenizer {
public:
    struct Token {
        enum class Kind { Text, StartTag, EndTag, End };
        Kind kind = Kind::End;
        // Lower-case tag name.
        QString name;
        // An attribute as it stands in the text, name in any case and value with its entities not
        // yet expanded: one nobody asks for costs nothing, however long its value.
        struct Attribute {
            QStringView name;
            QStringView value;
        };
        // Views into the text the tokenizer reads, valid while it lives.
        std::vector<Attribute> attributes;
        bool selfClosing = false;
        // Character data with its entities expanded (raw text as it stands): a view into the text
        // the tokenizer reads where nothing needed expanding, so a long run is not copied, else
        // into expanded, which holds the expansion.
        QStringView text;
        QString expanded;

        // The value of the attribute of that lower-case name with its entities expanded; null when
        // the tag has none.
        QString attribute(QStringView attributeName) const;
        // The value as it stands in the text.
        QStringView rawAttribute(QStringView attributeName) const;
    };

    // html must outlive the tokenizer and the tokens it gives.
    explicit HtmlTokenizer(QStringView html) : m_html(html) {}
    Token next();

    // Character references expanded: named ones from the table of those documents use, numeric
    // ones in decimal or hex. A number outside Unicode, a surrogate or zero becomes U+FFFD; an
    // unknown name stays as written.
    static QString expandEntities(QStringView text);

private:
    // Sets the token's text to raw, with its entities expanded when expand is set and it has any.
    static void setText(Token& token, QStringView raw, bool expand);
    Token readTag();
    Token rawText(const QString& endTag);
    void skipPast(QStringView terminator);

    QStringView m_html;
    qsizetype m_position = 0;
    // Set after a start tag whose contents are raw text.
    QString m_rawTextEnd;
    bool m_rawTextExpands = false;
};
