#pragma once

#include "platform/text/AttributeDictionary.h"
#include "platform/text/DocumentAttributes.h"

#include <QByteArray>
#include <QClipboard>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

class AttributedString;
class MutableAttributedString;
class QMimeData;
class QObject;

// Pasteboard types as the platform names them; each maps to a MIME type on the Qt clipboard.
inline const QString kPasteboardTypeRTF = QStringLiteral("public.rtf");
inline const QString kPasteboardTypeRTFD = QStringLiteral("com.apple.flat-rtfd");
inline const QString kPasteboardTypeHTML = QStringLiteral("public.html");
inline const QString kPasteboardTypeString = QStringLiteral("public.utf8-plain-text");
inline const QString kPasteboardTypePNG = QStringLiteral("public.png");
inline const QString kPasteboardTypeTIFF = QStringLiteral("public.tiff");
inline const QString kPasteboardTypeFileURL = QStringLiteral("public.file-url");

// The platform's pasteboard on QClipboard: typed data, written after clearContents, read back by
// type. Rich text travels as RTF (and RTFD when it holds attachments) through our own codec, with
// HTML and plain text beside it for other programs; other programs' HTML is read through Qt.
class Pasteboard {
public:
    explicit Pasteboard(QClipboard::Mode mode = QClipboard::Clipboard);
    ~Pasteboard();
    Pasteboard(const Pasteboard&) = delete;
    Pasteboard& operator=(const Pasteboard&) = delete;

    // The system clipboard.
    static Pasteboard& general();

    static QString mimeTypeForType(const QString& type);
    static QString typeForMimeType(const QString& mimeType);

    // Empties the pasteboard and answers the new change count.
    qint64 clearContents();
    // Grows whenever the contents change, here or in another program.
    qint64 changeCount() const;

    bool setData(const QByteArray& data, const QString& type);
    bool setString(const QString& string, const QString& type);
    QByteArray dataForType(const QString& type) const;
    // Null when the type is absent.
    QString stringForType(const QString& type) const;
    QStringList types() const;
    // The first of types the pasteboard holds, or an empty string.
    QString availableTypeFromArray(const QStringList& types) const;

    // Writes RTF, RTFD (when there are attachments), HTML and plain text.
    bool writeAttributedString(const AttributedString& text,
                               const DocumentAttributes& documentAttributes = {});
    // Reads the richest form present: RTFD, RTF, HTML, then plain text with defaultAttributes.
    bool readAttributedString(MutableAttributedString& text,
                              const AttributeDictionary& defaultAttributes = {}) const;
    bool writeImage(const QImage& image);
    std::optional<QImage> readImage() const;
    bool writeFileURLs(const QList<QUrl>& urls);
    QList<QUrl> fileURLs() const;

    // HTML of an attributed string: one paragraph per paragraph, one span per run.
    static QString htmlFromAttributedString(const AttributedString& text);
    // What Qt makes of HTML, as an attributed string (fonts, colours, underline, alignment).
    static void attributedStringFromHtml(const QString& html, MutableAttributedString& text);

private:
    QMimeData* writableMimeData();
    const QMimeData* mimeData() const;

    QClipboard::Mode m_mode;
    qint64 m_changeCount = 0;
    std::unique_ptr<QObject> m_context;
};
