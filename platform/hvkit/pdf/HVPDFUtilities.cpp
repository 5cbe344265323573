#include "platform/hvkit/pdf/HVPDFUtilities.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

std::string utf8(const QString& string)
{
    return string.toStdString();
}

QPDFObjectHandle text(const QString& string)
{
    return QPDFObjectHandle::newUnicodeString(utf8(string));
}

QPDFObjectHandle real(double value)
{
    // Three decimals are finer than any viewer places a point.
    return QPDFObjectHandle::newReal(std::isfinite(value) ? value : 0.0, 3, true);
}

QString xmlEscaped(const QString& string)
{
    return string.toHtmlEscaped();
}

// The XMP packet: the same facts as the document information, for readers that look only there.
QByteArray xmpPacket(const QString& title, const QString& producer, const HVPDFMetadata& metadata)
{
    QString body;
    if (!title.isEmpty())
        body += QStringLiteral(
                    "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">%1</rdf:li></rdf:Alt></dc:title>")
                    .arg(xmlEscaped(title));
    if (!metadata.author.isEmpty())
        body += QStringLiteral("<dc:creator><rdf:Seq><rdf:li>%1</rdf:li></rdf:Seq></dc:creator>")
                    .arg(xmlEscaped(metadata.author));
    if (!metadata.subject.isEmpty())
        body += QStringLiteral("<dc:description><rdf:Alt><rdf:li "
                               "xml:lang=\"x-default\">%1</rdf:li></rdf:Alt></dc:description>")
                    .arg(xmlEscaped(metadata.subject));
    if (!metadata.keywords.isEmpty()) {
        body += QStringLiteral("<dc:subject><rdf:Bag>");
        for (const QString& keyword : metadata.keywords)
            body += QStringLiteral("<rdf:li>%1</rdf:li>").arg(xmlEscaped(keyword));
        body += QStringLiteral("</rdf:Bag></dc:subject>");
        body += QStringLiteral("<pdf:Keywords>%1</pdf:Keywords>")
                    .arg(xmlEscaped(metadata.keywords.join(QStringLiteral(", "))));
    }
    if (!metadata.creatingApplication.isEmpty())
        body += QStringLiteral("<xmp:CreatorTool>%1</xmp:CreatorTool>")
                    .arg(xmlEscaped(metadata.creatingApplication));
    if (!producer.isEmpty())
        body += QStringLiteral("<pdf:Producer>%1</pdf:Producer>").arg(xmlEscaped(producer));
    const QString packet =
        QStringLiteral(
            "<?xpacket begin=\"\uFEFF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
            "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
            "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
            "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
            "xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">"
            "%1</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n<?xpacket end=\"w\"?>")
            .arg(body);
    return packet.toUtf8();
}

QString stringValue(QPDFObjectHandle dictionary, const char* key)
{
    if (!dictionary.isDictionary() || !dictionary.hasKey(key))
        return {};
    QPDFObjectHandle value = dictionary.getKey(key);
    return value.isString() ? QString::fromStdString(value.getUTF8Value()) : QString();
}

void addInformation(QPDF& pdf, const HVPDFMetadata& metadata)
{
    QPDFObjectHandle trailer = pdf.getTrailer();
    QPDFObjectHandle info = trailer.getKey("/Info");
    if (!info.isDictionary()) {
        info = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        trailer.replaceKey("/Info", info);
    }
    if (!metadata.author.isEmpty())
        info.replaceKey("/Author", text(metadata.author));
    if (!metadata.subject.isEmpty())
        info.replaceKey("/Subject", text(metadata.subject));
    if (!metadata.keywords.isEmpty())
        info.replaceKey("/Keywords", text(metadata.keywords.join(QStringLiteral(", "))));
    if (!metadata.creatingApplication.isEmpty())
        info.replaceKey("/Creator", text(metadata.creatingApplication));

    const QByteArray packet =
        xmpPacket(stringValue(info, "/Title"), stringValue(info, "/Producer"), metadata);
    QPDFObjectHandle stream =
        QPDFObjectHandle::newStream(&pdf, std::string(packet.constData(), size_t(packet.size())));
    QPDFObjectHandle streamDictionary = stream.getDict();
    streamDictionary.replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
    streamDictionary.replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
    pdf.getRoot().replaceKey("/Metadata", stream);
}

void addOutline(QPDF& pdf, const HVPDFPaginatedData& data, const std::vector<QPDFObjectHandle>& pages,
                const std::vector<HVPDFOutlineItem>& items)
{
    if (items.empty())
        return;
    QPDFObjectHandle outlines = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    outlines.replaceKey("/Type", QPDFObjectHandle::newName("/Outlines"));
    std::vector<QPDFObjectHandle> entries;
    entries.reserve(items.size());
    for (const HVPDFOutlineItem& item : items) {
        const HVPDFUtilities::PagePoint target = HVPDFUtilities::pagePointForPoint(
            data, item.page(), item.point(), item.isFlipped(), item.isAbsolute());
        QPDFObjectHandle destination = QPDFObjectHandle::newArray();
        destination.appendItem(pages[size_t(target.page)]);
        destination.appendItem(QPDFObjectHandle::newName("/XYZ"));
        destination.appendItem(real(target.point.x));
        destination.appendItem(real(target.point.y));
        destination.appendItem(QPDFObjectHandle::newNull());
        QPDFObjectHandle entry = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        entry.replaceKey("/Title", text(item.title()));
        entry.replaceKey("/Parent", outlines);
        entry.replaceKey("/Dest", destination);
        entries.push_back(entry);
    }
    for (size_t index = 0; index < entries.size(); ++index) {
        if (index > 0)
            entries[index].replaceKey("/Prev", entries[index - 1]);
        if (index + 1 < entries.size())
            entries[index].replaceKey("/Next", entries[index + 1]);
    }
    outlines.replaceKey("/First", entries.front());
    outlines.replaceKey("/Last", entries.back());
    outlines.replaceKey("/Count", QPDFObjectHandle::newInteger(qint64(entries.size())));
    pdf.getRoot().replaceKey("/Outlines", outlines);
}

void addAnnotations(QPDF& pdf, const HVPDFPaginatedData& data, std::vector<QPDFObjectHandle>& pages,
                    const std::vector<HVPDFAnnotation>& annotations)
{
    const QString now = QDateTime::currentDateTimeUtc().toString(QStringLiteral("'D:'yyyyMMddHHmmss'Z'"));
    for (const HVPDFAnnotation& annotation : annotations) {
        int pageIndex = 0;
        const Rect rect = HVPDFUtilities::annotationRect(data, annotation, &pageIndex);
        QPDFObjectHandle page = pages[size_t(pageIndex)];
        QPDFObjectHandle note = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        note.replaceKey("/Type", QPDFObjectHandle::newName("/Annot"));
        note.replaceKey("/Subtype", QPDFObjectHandle::newName("/Text"));
        note.replaceKey("/Rect",
                        QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{
                            real(rect.minX()), real(rect.minY()), real(rect.maxX()), real(rect.maxY())}));
        note.replaceKey("/Contents", text(annotation.contents()));
        if (!annotation.userName().isEmpty())
            note.replaceKey("/T", text(annotation.userName()));
        const QColor color = annotation.color().toRgb();
        note.replaceKey("/C", QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{
                                  real(color.redF()), real(color.greenF()), real(color.blueF())}));
        note.replaceKey("/Name", QPDFObjectHandle::newName("/Note"));
        note.replaceKey("/Open", QPDFObjectHandle::newBool(false));
        // Printed with the page and shown at any zoom, as notes are.
        note.replaceKey("/F", QPDFObjectHandle::newInteger(4 | 8 | 16));
        note.replaceKey("/M", QPDFObjectHandle::newString(now.toStdString()));
        note.replaceKey("/P", page);
        QPDFObjectHandle annots = page.getKey("/Annots");
        if (!annots.isArray()) {
            annots = QPDFObjectHandle::newArray();
            page.replaceKey("/Annots", annots);
        }
        annots.appendItem(note);
    }
}

} // namespace

HVPDFUtilities::PagePoint HVPDFUtilities::pagePointForPoint(const HVPDFPaginatedData& data, int page,
                                                            const Point& point, bool flipped, bool absolute)
{
    PagePoint result;
    if (data.pages.empty())
        return result;
    const int last = int(data.pages.size()) - 1;
    if (absolute) {
        const double fromTop = flipped ? point.y : data.viewSize.height - point.y;
        int index = page >= 0 ? std::min(page, last) : 0;
        if (page < 0) {
            while (index < last && fromTop >= data.pages[size_t(index + 1)].top)
                ++index;
        }
        const HVPDFPage& target = data.pages[size_t(index)];
        result.page = index;
        result.point = Point{point.x / target.userUnit,
                             target.mediaSize.height - (fromTop - target.top) / target.userUnit};
    } else {
        const int index = std::clamp(page, 0, last);
        const HVPDFPage& target = data.pages[size_t(index)];
        result.page = index;
        const double y = point.y / target.userUnit;
        result.point = Point{point.x / target.userUnit, flipped ? target.mediaSize.height - y : y};
    }
    result.point.y = std::clamp(result.point.y, 0.0, data.pages[size_t(result.page)].mediaSize.height);
    return result;
}

Rect HVPDFUtilities::annotationRect(const HVPDFPaginatedData& data, const HVPDFAnnotation& annotation,
                                    int* page)
{
    const int last = data.pages.empty() ? 0 : int(data.pages.size()) - 1;
    int index = std::clamp(annotation.page(), 0, last);
    const Rect rect = annotation.rect();
    Rect placed = rect;
    if (!data.pages.empty()) {
        const Size media = data.pages[size_t(index)].mediaSize;
        switch (annotation.location()) {
        case HVPDFAnnotation::BottomLeft:
            break;
        case HVPDFAnnotation::TopLeft:
            placed = rect.offsetBy(0, media.height);
            break;
        case HVPDFAnnotation::TopRight:
            placed = rect.offsetBy(media.width, media.height);
            break;
        case HVPDFAnnotation::BottomRight:
            placed = rect.offsetBy(media.width, 0);
            break;
        default: {
            // No corner: the rect is a place of the drawn view, like an outline item's point.
            const PagePoint origin = pagePointForPoint(data, annotation.page(), rect.origin,
                                                       annotation.isFlipped(), annotation.isAbsolute());
            index = origin.page;
            const double unit = data.pages[size_t(index)].userUnit;
            const double height = rect.height() / unit;
            placed = Rect{origin.point.x, annotation.isFlipped() ? origin.point.y - height : origin.point.y,
                          rect.width() / unit, height};
        }
        }
    }
    if (page)
        *page = index;
    return placed;
}

std::optional<QByteArray> HVPDFUtilities::enhancePDFData(const HVPDFPaginatedData& data,
                                                         const HVPDFMetadata& metadata,
                                                         const std::vector<HVPDFOutlineItem>& outlineItems,
                                                         const std::vector<HVPDFAnnotation>& annotations)
{
    if (data.data.isEmpty())
        return std::nullopt;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("drawn.pdf", data.data.constData(), size_t(data.data.size()));
        std::vector<QPDFObjectHandle> pages = pdf.getAllPages();
        if (pages.empty() || pages.size() != data.pages.size()) {
            qWarning("The PDF has %zu pages where %zu were drawn", pages.size(), data.pages.size());
            return std::nullopt;
        }
        bool userUnits = false;
        for (size_t index = 0; index < pages.size(); ++index) {
            if (data.pages[index].userUnit > 1) {
                pages[index].replaceKey("/UserUnit", real(data.pages[index].userUnit));
                userUnits = true;
            }
        }
        addInformation(pdf, metadata);
        addOutline(pdf, data, pages, outlineItems);
        addAnnotations(pdf, data, pages, annotations);

        QPDFWriter writer(pdf);
        writer.setOutputMemory();
        if (userUnits)
            writer.setMinimumPDFVersion("1.6");
        writer.write();
        std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
        if (!buffer)
            return std::nullopt;
        return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()), qsizetype(buffer->getSize()));
    } catch (const std::exception& exception) {
        qWarning("The PDF could not be finished: %s", exception.what());
        return std::nullopt;
    }
}
