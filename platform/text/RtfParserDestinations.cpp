#include "platform/text/RtfParser.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>

namespace RtfParsing {

void Parser::finishDestination(const GroupState& closing)
{
    switch (closing.destination) {
    case Destination::FontTable:
        commitFontEntry();
        break;
    case Destination::InfoField: {
        const QString value = m_destinationText.trimmed();
        m_destinationText.clear();
        static const std::pair<InfoKey, const QString*> kKeys[] = {
            {InfoKey::Title, &NSTitleDocumentAttribute},
            {InfoKey::Author, &NSAuthorDocumentAttribute},
            {InfoKey::Editor, &NSEditorDocumentAttribute},
            {InfoKey::Company, &NSCompanyDocumentAttribute},
            {InfoKey::Copyright, &NSCopyrightDocumentAttribute},
            {InfoKey::Subject, &NSSubjectDocumentAttribute},
            {InfoKey::Comment, &NSCommentDocumentAttribute},
        };
        if (closing.infoKey == InfoKey::Keywords) {
            QStringList keywords;
            for (const QString& part : value.split(u',', Qt::SkipEmptyParts)) {
                if (!part.trimmed().isEmpty())
                    keywords.append(part.trimmed());
            }
            m_documentAttributes.insert(NSKeywordsDocumentAttribute, keywords);
            break;
        }
        for (const auto& [key, name] : kKeys) {
            if (key == closing.infoKey)
                m_documentAttributes.insert(*name, value);
        }
        break;
    }
    case Destination::InfoTime: {
        const QDate date(m_time.year, m_time.month, m_time.day);
        const QTime time(m_time.hour, m_time.minute, m_time.second);
        if (date.isValid()) {
            const QDateTime stamp(date, time.isValid() ? time : QTime(0, 0));
            m_documentAttributes.insert(closing.infoKey == InfoKey::Created
                                            ? NSCreationTimeDocumentAttribute
                                            : NSModificationTimeDocumentAttribute,
                                        stamp.toUTC());
        }
        break;
    }
    case Destination::Picture:
        finishPicture();
        break;
    case Destination::NeXTGraphic:
        finishNeXTGraphic();
        break;
    case Destination::ShapePropertyName:
        m_shapePropertyName = m_destinationText.trimmed();
        m_destinationText.clear();
        break;
    case Destination::ShapePropertyValue:
        if (m_shapePropertyName == u"fillColor") {
            bool ok = false;
            const qint64 value = m_destinationText.trimmed().toLongLong(&ok);
            if (ok && value >= 0 && value <= 0xFFFFFF)
                m_backgroundColor =
                    Color::fromRgb8(int(value & 0xFF), int((value >> 8) & 0xFF), int(value >> 16));
        }
        m_destinationText.clear();
        break;
    case Destination::FieldInstruction: {
        // HYPERLINK "address" with switches; the address is the first quoted or bare word after it.
        const QString instruction = m_destinationText.trimmed();
        m_destinationText.clear();
        if (!instruction.startsWith(u"HYPERLINK", Qt::CaseInsensitive))
            break;
        QString rest = instruction.mid(9).trimmed();
        while (rest.startsWith(u'\\')) {
            const qsizetype space = rest.indexOf(u' ');
            rest = space < 0 ? QString() : rest.mid(space + 1).trimmed();
        }
        QString address;
        if (rest.startsWith(u'"')) {
            const qsizetype close = rest.indexOf(u'"', 1);
            address = rest.mid(1, close < 0 ? -1 : close - 1);
        } else {
            address = rest.section(u' ', 0, 0);
        }
        if (!address.isEmpty()) {
            m_links.append(address);
            m_pendingLink = int(m_links.size() - 1);
        }
        break;
    }
    default:
        break;
    }
}

void Parser::commitFontEntry()
{
    if (!m_fontOpen)
        return;
    m_fontOpen = false;
    FontEntry entry;
    entry.name = m_destinationText.trimmed();
    entry.codePage = CodePages::codePageForCharset(m_fontCharset);
    entry.fixedPitch = m_fontFixedPitch;
    m_destinationText.clear();
    // A hostile table could name millions of fonts; the number of a font is bounded by the input.
    m_fonts[m_fontNumber] = std::move(entry);
    m_codePageFont = -1;
    m_fontCodePages.clear();
}

void Parser::commitColorEntry()
{
    m_colors.push_back(m_colorEntry);
    m_colorEntry = {};
}

void Parser::commitExpandedColorEntry()
{
    std::optional<Color> color;
    const auto component = [&](size_t i) { return m_expandedComponents[i] / 100000.0; };
    if (m_expandedGray && !m_expandedComponents.empty()) {
        color = Color::gray(component(0), m_expandedComponents.size() > 1 ? component(1) : 1.0);
    } else if (!m_expandedGray && m_expandedComponents.size() >= 3) {
        color = Color::rgb(component(0), component(1), component(2),
                           m_expandedComponents.size() > 3 ? component(3) : 1.0);
    }
    m_expandedColors.push_back(color);
    m_expandedComponents.clear();
    m_expandedGray = false;
}

void Parser::finishPicture()
{
    if (m_pictureType.isEmpty() || m_pictureData.isEmpty()) {
        m_pictureData.clear();
        return;
    }
    auto wrapper = FileWrapper::makeRegularFile(m_pictureData);
    wrapper->setPreferredFilename(m_pictureType == u"png" ? QStringLiteral("image.png")
                                                          : QStringLiteral("image.jpeg"));
    m_pictureData.clear();
    auto attachment = std::make_shared<TextAttachment>(wrapper);
    double width = m_pictureWidthGoal > 0 ? m_pictureWidthGoal / 20.0 : std::max(m_pictureWidth, 0);
    double height = m_pictureHeightGoal > 0 ? m_pictureHeightGoal / 20.0 : std::max(m_pictureHeight, 0);
    width *= std::clamp(m_pictureScaleX, 1, 10000) / 100.0;
    height *= std::clamp(m_pictureScaleY, 1, 10000) / 100.0;
    if (width > 0 && height > 0)
        attachment->setBounds(QRectF(0, 0, width, height));
    // The picture belongs to the text around its group, which is where the character goes.
    addAttachment(std::move(attachment));
}

void Parser::finishNeXTGraphic()
{
    const QString name = m_destinationText.trimmed();
    m_destinationText.clear();
    m_swallowAttachmentMark = true;
    if (!m_directory || name.isEmpty())
        return;
    // Only direct children can match: a name holding "/" or ".." never reaches another file.
    const auto& children = m_directory->fileWrappers();
    const auto it = children.find(name);
    if (it == children.end() || !it.value())
        return;
    auto attachment = std::make_shared<TextAttachment>(it.value());
    if (m_graphicWidth > 0 && m_graphicHeight > 0)
        attachment->setBounds(QRectF(0, 0, m_graphicWidth / 20.0, m_graphicHeight / 20.0));
    addAttachment(std::move(attachment));
}

} // namespace RtfParsing
