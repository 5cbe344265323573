#pragma once

#include "platform/foundation/Error.h"
#include "platform/text/DocumentAttributes.h"

#include <QByteArray>

#include <optional>

class AttributedString;
class MutableAttributedString;

// The value of the document-type attribute for web archives.
inline const QString NSWebArchiveTextDocumentType = QStringLiteral("NSWebArchive");

// Web archives: a property list holding a main resource (the page's HTML, its type and the encoding
// it names) and subresources. The page is read as HTML in its named encoding; pictures among the
// subresources that the page shows become image attachments, and attachments are written back as
// subresources. Addresses are only names to match: nothing is fetched.
class WebArchive {
public:
    static bool read(const QByteArray& data, MutableAttributedString& text,
                     DocumentAttributes* documentAttributes, Error* error);
    // A binary property list, as browsers write them.
    static std::optional<QByteArray> write(const AttributedString& text,
                                           const DocumentAttributes& documentAttributes, Error* error);

    static constexpr qsizetype kMaximumSubresources = 10000;
};
