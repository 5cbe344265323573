#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// A pull reader of the XML inside Word and OpenDocument packages. A script's body part is megabytes
// of small elements, and a general reader spends most of an import copying names and attribute
// lists into strings of their own; this one answers with views into a buffer it reuses.
//
// It reads what documents hold (elements, attributes, namespaces, text, character references, the
// five predefined entities, CDATA, comments and processing instructions) and refuses the rest: a
// document type declaration (the door to external entities and entity bombs), an undeclared entity,
// nesting beyond a bound, malformed or wrongly encoded input. Nothing outside the bytes is read.
class XmlScanner {
public:
    enum TokenType { NoToken, Invalid, StartElement, EndElement, Characters, EndDocument };
    enum ErrorKind { NoError, NotWellFormed, PrematureEnd, DocumentType, UndeclaredEntity, TooDeep };
    enum TextBehaviour { SkipChildElements, IncludeChildElements };

    explicit XmlScanner(const QByteArray& data, int maximumDepth = 256);

    TokenType readNext();
    TokenType tokenType() const { return m_token; }
    bool atEnd() const { return m_token == EndDocument || m_token == Invalid; }
    bool isStartElement() const { return m_token == StartElement; }
    bool isEndElement() const { return m_token == EndElement; }
    bool isCharacters() const { return m_token == Characters; }

    // The current element's local name (its prefix left out), valid until the next token.
    QStringView name() const
    {
        return m_token == StartElement || m_token == EndElement ? view(m_name) : QStringView();
    }
    QStringView namespaceUri() const;
    // The value of the current start element's attribute with this local name; empty when absent.
    QStringView attribute(QStringView localName) const;
    // The characters of the current text token.
    QStringView text() const { return QStringView(m_text); }

    // On a start element: the text up to its end, which then becomes the current token. Text inside
    // child elements is included or left out as asked.
    QString readElementText(TextBehaviour behaviour);

    // Elements open around the current token (a start element counts itself).
    int depth() const { return int(m_open.size()); }

    bool hasError() const { return m_error != NoError; }
    ErrorKind error() const { return m_error; }
    QString errorString() const { return m_errorString; }

private:
    struct Span {
        qsizetype start = 0;
        qsizetype length = 0;
    };
    struct Attribute {
        Span localName;
        Span value;
    };
    struct OpenElement {
        qsizetype nameStart; // the qualified name's bytes in the input
        qsizetype nameLength;
        size_t namespaceCount; // declarations in scope before this element's own
    };
    struct Namespace {
        QString prefix;
        QString uri;
    };

    void prepareInput();
    TokenType fail(ErrorKind kind, const QString& why);
    TokenType premature() { return fail(PrematureEnd, QStringLiteral("Premature end of document.")); }
    TokenType readStartTag();
    TokenType readEndTag();
    TokenType readText();
    TokenType readCdata();
    bool skipPast(const char* terminator, qsizetype length);
    qsizetype nameEnd(qsizetype from) const;
    bool skipSpace();
    // Text resolves references; attribute values also read white space as spaces; a CDATA section's
    // bytes are characters as they stand.
    enum class Decoding { Text, AttributeValue, Raw };
    bool appendDecoded(QString& out, qsizetype from, qsizetype to, Decoding decoding);
    bool appendReference(QString& out, qsizetype& position, qsizetype to);
    bool appendName(Span& span, qsizetype from, qsizetype to, bool localOnly);
    QStringView view(const Span& span) const { return QStringView(m_names).sliced(span.start, span.length); }

    QByteArray m_data;
    const char* m_bytes = nullptr;
    qsizetype m_size = 0;
    qsizetype m_position = 0;
    int m_maximumDepth;

    TokenType m_token = NoToken;
    ErrorKind m_error = NoError;
    QString m_errorString;
    bool m_rootSeen = false;
    bool m_pendingEnd = false; // a start element closed by "/>"
    bool m_popAfterEnd = false;

    std::vector<OpenElement> m_open;
    std::vector<Namespace> m_namespaces;
    // The current element's names and attribute values, decoded once into one reused buffer.
    QString m_names;
    Span m_name;
    Span m_prefix;
    std::vector<Attribute> m_attributes;
    QString m_text;
};
