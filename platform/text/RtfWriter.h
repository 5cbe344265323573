#pragma once

#include "platform/text/DocumentAttributes.h"

#include <QByteArray>

class AttributedString;
class FileWrapper;

// Writes the text model as RTF in the platform's own style, byte for byte the same for the same
// input: font and colour tables in order of first use, one \pard group per change of paragraph
// style. The output is 7-bit: everything outside ASCII as \uN, the mark after an attachment as
// \'ac. What it writes, the reader reads back unchanged; values in points are kept to a twentieth
// of a point and colour components to five decimal places.
class RtfWriter {
public:
    // Plain RTF holds no files: attachment characters are left out.
    static QByteArray write(const AttributedString& text, const DocumentAttributes& documentAttributes);
    // RTF for an RTFD: each attachment's file is added to directory under a unique, safe name (files
    // with equal contents share one), and the text names it in an attachment group.
    static QByteArray write(const AttributedString& text, const DocumentAttributes& documentAttributes,
                            FileWrapper& directory);
};
