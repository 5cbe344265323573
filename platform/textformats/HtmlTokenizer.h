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
        // Lower-case names; values with their entities expanded.
        std::vector<std::pair<QString, QString>> attributes;
        bool selfClosing = false;
        // Character data with its entities expanded (raw text as it stands).
        QString text;

        QString attribute(const QString& attributeName) const;
    };

    explicit HtmlTokenizer(QStringView html) : m_html(html) {}
    Token next();

    // Character references expanded: named ones from the table of those documents use, numeric
    // ones in decimal or hex. A number outside Unicode, a surrogate or zero becomes U+FFFD; an
    // unknown name stays as written.
    static QString expandEntities(QStringView text);

private:
    Token readTag();
    Token rawText(const QString& endTag);
    void skipPast(QStringView terminator);

    QStringView m_html;
    qsizetype m_position = 0;
    // Set after a start tag whose contents are raw text.
    QString m_rawTextEnd;
    bool m_rawTextExpands = false;
};
