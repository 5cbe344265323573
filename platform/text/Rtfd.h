#pragma once

#include "platform/foundation/Error.h"
#include "platform/text/DocumentAttributes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QUrl>

#include <memory>

class AttributedString;
class FileWrapper;
class MutableAttributedString;

// RTF with attachments, in its two forms: a directory holding "TXT.rtf" and one file per
// attachment, and a single stream of bytes that packs the same files (for storing in one
// property-list value). Attachment files are only ever looked up among the directory's own
// children, and written under sanitised, unique names, so nothing reaches outside the directory.
//
// The single stream is "rtfd", then little-endian 32-bit words: the format version (3), the number
// of files N, N name lengths, then the N names (UTF-8), then N content lengths, then the N contents.
class Rtfd {
public:
    static inline const QString kTextFileName = QStringLiteral("TXT.rtf");

    static std::shared_ptr<FileWrapper> fileWrapper(const AttributedString& text,
                                                    const DocumentAttributes& documentAttributes);
    static bool read(const FileWrapper& directory, MutableAttributedString& text,
                     DocumentAttributes* documentAttributes, Error* error);

    static bool readFromURL(const QUrl& url, MutableAttributedString& text,
                            DocumentAttributes* documentAttributes, Error* error);
    static bool writeToURL(const QUrl& url, const AttributedString& text,
                           const DocumentAttributes& documentAttributes, Error* error);

    static QByteArray data(const AttributedString& text, const DocumentAttributes& documentAttributes);
    static bool readData(QByteArrayView data, MutableAttributedString& text,
                         DocumentAttributes* documentAttributes, Error* error);

    // The single stream of a directory's regular files, and back. Children that are not regular files
    // are left out; entries with unusable names are dropped when reading.
    static QByteArray serialize(const FileWrapper& directory);
    static std::shared_ptr<FileWrapper> deserialize(QByteArrayView data, Error* error);
};
