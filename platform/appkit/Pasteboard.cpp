#include "platform/appkit/Pasteboard.h"

#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfReader.h"
#include "platform/text/RtfWriter.h"
#include "platform/text/Rtfd.h"
#include "platform/text/TextAttachment.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include <cmath>

namespace {

struct TypeMapping {
    const QString& type;
    const char* mimeType;
};

const std::vector<std::pair<QString, QString>>& mappings()
{
    static const std::vector<std::pair<QString, QString>> table{
        {kPasteboardTypeRTF, QStringLiteral("text/rtf")},
        {kPasteboardTypeRTFD, QStringLiteral("application/x-flat-rtfd")},
        {kPasteboardTypeHTML, QStringLiteral("text/html")},
        {kPasteboardTypeString, QStringLiteral("text/plain")},
        {kPasteboardTypePNG, QStringLiteral("image/png")},
        {kPasteboardTypeTIFF, QStringLiteral("image/tiff")},
        {kPasteboardTypeFileURL, QStringLiteral("text/uri-list")},
    };
    return table;
}

QClipboard* clipboard()
{
    return QGuiApplication::instance() ? QGuiApplication::clipboard() : nullptr;
}

QString cssColor(const Color& color)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(Color::toByte(color.red))
        .arg(Color::toByte(color.green))
        .arg(Color::toByte(color.blue))
        .arg(std::clamp(color.alpha, 0.0, 1.0));
}

Color modelColor(const QColor& color)
{
    return Color::rgb(color.redF(), color.greenF(), color.blueF(), color.alphaF());
}

} // namespace

Pasteboard::Pasteboard(QClipboard::Mode mode) : m_mode(mode), m_context(std::make_unique<QObject>())
{
    if (QClipboard* board = clipboard()) {
        QObject::connect(board, &QClipboard::changed, m_context.get(), [this](QClipboard::Mode changed) {
            if (changed == m_mode)
                ++m_changeCount;
        });
    }
}

Pasteboard::~Pasteboard() = default;

Pasteboard& Pasteboard::general()
{
    static Pasteboard board(QClipboard::Clipboard);
    return board;
}

QString Pasteboard::mimeTypeForType(const QString& type)
{
    for (const auto& [name, mime] : mappings()) {
        if (name == type)
            return mime;
    }
    // A type of our own travels under a MIME name that cannot clash with real ones.
    return type.contains(QLatin1Char('/')) ? type : QStringLiteral("application/x-pasteboard-") + type;
}

QString Pasteboard::typeForMimeType(const QString& mimeType)
{
    for (const auto& [name, mime] : mappings()) {
        if (mime == mimeType)
            return name;
    }
    if (mimeType == QLatin1String("application/rtf"))
        return kPasteboardTypeRTF;
    if (mimeType == QLatin1String("text/plain;charset=utf-8"))
        return kPasteboardTypeString;
    if (mimeType.startsWith(QLatin1String("application/x-pasteboard-")))
        return mimeType.mid(int(qstrlen("application/x-pasteboard-")));
    return mimeType;
}

const QMimeData* Pasteboard::mimeData() const
{
    QClipboard* board = clipboard();
    return board ? board->mimeData(m_mode) : nullptr;
}

QMimeData* Pasteboard::writableMimeData()
{
    QClipboard* board = clipboard();
    if (!board)
        return nullptr;
    const QMimeData* current = board->mimeData(m_mode);
    // Data we put there ourselves may grow type by type; anything else is copied first.
    if (current && current->property("orvanePasteboard").toBool())
        return const_cast<QMimeData*>(current);
    auto* data = new QMimeData;
    data->setProperty("orvanePasteboard", true);
    if (current) {
        for (const QString& format : current->formats())
            data->setData(format, current->data(format));
    }
    board->setMimeData(data, m_mode);
    return data;
}

qint64 Pasteboard::clearContents()
{
    if (QClipboard* board = clipboard()) {
        auto* data = new QMimeData;
        data->setProperty("orvanePasteboard", true);
        board->setMimeData(data, m_mode);
    }
    return m_changeCount;
}

qint64 Pasteboard::changeCount() const
{
    return m_changeCount;
}

bool Pasteboard::setData(const QByteArray& data, const QString& type)
{
    QMimeData* mime = writableMimeData();
    if (!mime)
        return false;
    mime->setData(mimeTypeForType(type), data);
    if (type == kPasteboardTypeRTF)
        mime->setData(QStringLiteral("application/rtf"), data);
    ++m_changeCount;
    return true;
}

bool Pasteboard::setString(const QString& string, const QString& type)
{
    QMimeData* mime = writableMimeData();
    if (!mime)
        return false;
    if (type == kPasteboardTypeString)
        mime->setText(string);
    else if (type == kPasteboardTypeHTML)
        mime->setHtml(string);
    else
        mime->setData(mimeTypeForType(type), string.toUtf8());
    ++m_changeCount;
    return true;
}

QByteArray Pasteboard::dataForType(const QString& type) const
{
    const QMimeData* mime = mimeData();
    if (!mime)
        return {};
    QByteArray data = mime->data(mimeTypeForType(type));
    if (data.isEmpty() && type == kPasteboardTypeRTF)
        data = mime->data(QStringLiteral("application/rtf"));
    return data;
}

QString Pasteboard::stringForType(const QString& type) const
{
    const QMimeData* mime = mimeData();
    if (!mime)
        return {};
    if (type == kPasteboardTypeString)
        return mime->hasText() ? mime->text() : QString();
    if (type == kPasteboardTypeHTML)
        return mime->hasHtml() ? mime->html() : QString();
    const QString format = mimeTypeForType(type);
    if (!mime->hasFormat(format))
        return {};
    return QString::fromUtf8(mime->data(format));
}

QStringList Pasteboard::types() const
{
    QStringList result;
    const QMimeData* mime = mimeData();
    if (!mime)
        return result;
    for (const QString& format : mime->formats()) {
        const QString type = typeForMimeType(format);
        if (!result.contains(type))
            result.push_back(type);
    }
    if (mime->hasImage() && !result.contains(kPasteboardTypePNG))
        result.push_back(kPasteboardTypePNG);
    return result;
}

QString Pasteboard::availableTypeFromArray(const QStringList& wanted) const
{
    const QStringList present = types();
    for (const QString& type : wanted) {
        if (present.contains(type))
            return type;
    }
    return {};
}

bool Pasteboard::writeAttributedString(const AttributedString& text,
                                       const DocumentAttributes& documentAttributes)
{
    bool hasAttachments = false;
    text.enumerateAttribute(kAttachmentAttributeName, {0, text.length()}, 0,
                            [&](const AttributeValue& value, const Range&, bool& stop) {
                                if (value.attachment()) {
                                    hasAttachments = true;
                                    stop = true;
                                }
                            });
    bool written = setData(RtfWriter::write(text, documentAttributes), kPasteboardTypeRTF);
    if (hasAttachments)
        written = setData(Rtfd::data(text, documentAttributes), kPasteboardTypeRTFD) && written;
    written = setString(htmlFromAttributedString(text), kPasteboardTypeHTML) && written;
    QString plain = text.string();
    plain.remove(QChar(kAttachmentCharacter));
    return setString(plain, kPasteboardTypeString) && written;
}

bool Pasteboard::readAttributedString(MutableAttributedString& text,
                                      const AttributeDictionary& defaultAttributes) const
{
    const QStringList present = types();
    if (present.contains(kPasteboardTypeRTFD)) {
        MutableAttributedString read;
        if (Rtfd::readData(dataForType(kPasteboardTypeRTFD), read, nullptr, nullptr)) {
            text.setAttributedString(read);
            return true;
        }
    }
    if (present.contains(kPasteboardTypeRTF)) {
        MutableAttributedString read;
        if (RtfReader::read(dataForType(kPasteboardTypeRTF), read, nullptr, nullptr)) {
            text.setAttributedString(read);
            return true;
        }
    }
    if (present.contains(kPasteboardTypeHTML)) {
        const QString html = stringForType(kPasteboardTypeHTML);
        if (!html.isEmpty()) {
            attributedStringFromHtml(html, text);
            return true;
        }
    }
    const QString plain = stringForType(kPasteboardTypeString);
    if (plain.isNull())
        return false;
    text.setAttributedString(AttributedString(plain, defaultAttributes));
    return true;
}

bool Pasteboard::writeImage(const QImage& image)
{
    QMimeData* mime = writableMimeData();
    if (!mime || image.isNull())
        return false;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return false;
    mime->setData(mimeTypeForType(kPasteboardTypePNG), png);
    ++m_changeCount;
    return true;
}

std::optional<QImage> Pasteboard::readImage() const
{
    const QMimeData* mime = mimeData();
    if (!mime)
        return std::nullopt;
    for (const QString& type : {kPasteboardTypePNG, kPasteboardTypeTIFF}) {
        QImage image;
        const QByteArray data = mime->data(mimeTypeForType(type));
        if (!data.isEmpty() && image.loadFromData(data))
            return image;
    }
    if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        if (!image.isNull())
            return image;
    }
    return std::nullopt;
}

bool Pasteboard::writeFileURLs(const QList<QUrl>& urls)
{
    QMimeData* mime = writableMimeData();
    if (!mime)
        return false;
    QList<QUrl> files;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            files.push_back(url);
    }
    mime->setUrls(files);
    ++m_changeCount;
    return !files.isEmpty();
}

QList<QUrl> Pasteboard::fileURLs() const
{
    QList<QUrl> result;
    const QMimeData* mime = mimeData();
    if (!mime || !mime->hasUrls())
        return result;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile())
            result.push_back(url);
    }
    return result;
}

QString Pasteboard::htmlFromAttributedString(const AttributedString& text)
{
    QString html = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head><body>\n");
    const QString string = text.string();
    qsizetype start = 0;
    while (start < string.size() || (start == 0 && string.isEmpty())) {
        const Range paragraph = text.paragraphRange({start, 0});
        if (paragraph.length <= 0)
            break;
        QString style;
        const AttributeValue paragraphStyle =
            text.attribute(kParagraphStyleAttributeName, paragraph.location);
        if (const ParagraphStyle* value = paragraphStyle.paragraphStyle()) {
            static const char* const alignments[] = {"left", "right", "center", "justify", "start"};
            style = QStringLiteral(" style=\"text-align:%1\"")
                        .arg(QLatin1String(alignments[int(value->alignment) % 5]));
        }
        html += QStringLiteral("<p%1>").arg(style);
        text.enumerateAttributes(
            paragraph, 0, [&](const AttributeDictionary& attributes, const Range& range, bool&) {
                QString piece = text.substring(range);
                piece.remove(QChar(kAttachmentCharacter));
                while (!piece.isEmpty() &&
                       (piece.endsWith(QLatin1Char('\n')) || piece.endsWith(QLatin1Char('\r')) ||
                        piece.endsWith(QChar(0x2029))))
                    piece.chop(1);
                if (piece.isEmpty())
                    return;
                QStringList css;
                if (const AttributeValue* font = attributes.find(kFontAttributeName); font && font->font()) {
                    const Font& value = *font->font();
                    css << QStringLiteral("font-family:'%1'")
                               .arg(value.familyName.isEmpty() ? value.fontName : value.familyName)
                        << QStringLiteral("font-size:%1pt").arg(value.pointSize);
                    if (value.bold || value.fontName.contains(QLatin1String("Bold")))
                        css << QStringLiteral("font-weight:bold");
                    if (value.italic || value.fontName.contains(QLatin1String("Italic")))
                        css << QStringLiteral("font-style:italic");
                }
                if (const AttributeValue* color = attributes.find(kForegroundColorAttributeName);
                    color && color->color())
                    css << QStringLiteral("color:%1").arg(cssColor(*color->color()));
                if (const AttributeValue* color = attributes.find(kBackgroundColorAttributeName);
                    color && color->color())
                    css << QStringLiteral("background-color:%1").arg(cssColor(*color->color()));
                QStringList decorations;
                if (const AttributeValue* value = attributes.find(kUnderlineStyleAttributeName);
                    value && value->integer())
                    decorations << QStringLiteral("underline");
                if (const AttributeValue* value = attributes.find(kStrikethroughStyleAttributeName);
                    value && value->integer())
                    decorations << QStringLiteral("line-through");
                if (!decorations.isEmpty())
                    css << QStringLiteral("text-decoration:%1").arg(decorations.join(QLatin1Char(' ')));
                QString escaped = piece.toHtmlEscaped();
                escaped.replace(QChar(0x2028), QStringLiteral("<br>"));
                html += css.isEmpty() ? escaped
                                      : QStringLiteral("<span style=\"%1\">%2</span>")
                                            .arg(css.join(QLatin1Char(';')), escaped);
            });
        html += QStringLiteral("</p>\n");
        start = paragraph.end();
    }
    html += QStringLiteral("</body></html>\n");
    return html;
}

void Pasteboard::attributedStringFromHtml(const QString& html, MutableAttributedString& text)
{
    QTextDocument document;
    document.setHtml(html);
    MutableAttributedString result;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const qsizetype paragraphStart = result.length();
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextFragment piece = fragment.fragment();
            if (!piece.isValid())
                continue;
            const QTextCharFormat format = piece.charFormat();
            AttributeDictionary attributes;
            const QFont font = format.font();
            Font model;
            model.familyName = font.family();
            model.fontName = font.family();
            model.pointSize = font.pointSizeF() > 0 ? font.pointSizeF() : 12;
            model.bold = font.bold();
            model.italic = font.italic();
            attributes.insert(kFontAttributeName, model);
            if (format.foreground().style() != Qt::NoBrush)
                attributes.insert(kForegroundColorAttributeName, modelColor(format.foreground().color()));
            if (format.background().style() != Qt::NoBrush)
                attributes.insert(kBackgroundColorAttributeName, modelColor(format.background().color()));
            if (format.fontUnderline())
                attributes.insert(kUnderlineStyleAttributeName, kUnderlineStyleSingle);
            if (format.fontStrikeOut())
                attributes.insert(kStrikethroughStyleAttributeName, kUnderlineStyleSingle);
            QString string = piece.text();
            // Qt marks line breaks inside a block with U+2028 and images with U+FFFC; the images are
            // not brought over, so neither is their character.
            string.remove(QChar(kAttachmentCharacter));
            result.append(string, attributes);
        }
        if (block.next().isValid()) {
            const AttributeDictionary last = result.length() > paragraphStart
                                                 ? result.attributesAtIndex(result.length() - 1)
                                                 : AttributeDictionary();
            result.append(QStringLiteral("\n"), last);
        }
        const Qt::Alignment alignment = block.blockFormat().alignment();
        if (result.length() > paragraphStart &&
            (alignment & (Qt::AlignRight | Qt::AlignHCenter | Qt::AlignJustify))) {
            ParagraphStyle style;
            style.alignment = alignment & Qt::AlignHCenter   ? TextAlignment::Center
                              : alignment & Qt::AlignJustify ? TextAlignment::Justified
                                                             : TextAlignment::Right;
            result.addAttribute(kParagraphStyleAttributeName, style,
                                {paragraphStart, result.length() - paragraphStart});
        }
    }
    text.setAttributedString(result);
}
