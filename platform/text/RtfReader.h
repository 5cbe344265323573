#pragma once

#include "platform/foundation/Error.h"
#include "platform/text/AttributeDictionary.h"
#include "platform/text/DocumentAttributes.h"

#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

class FileWrapper;
class MutableAttributedString;

// Reads RTF, as the platform and other word processors write it, into text, attribute runs and
// document attributes. It is tolerant: damaged or hostile input gives the best text it can, bounded
// in time, memory and nesting; only data that is not RTF at all is refused.
class RtfReader {
public:
    // One attribute run: its attributes hold from start up to the next run's start.
    struct Run {
        qsizetype start = 0;
        AttributeDictionary attributes;
    };

    struct Result {
        QString text;
        std::vector<Run> runs;
        DocumentAttributes documentAttributes;
    };

    // directory is the RTFD directory whose children the attachment groups name; without it those
    // groups are left out.
    static std::optional<Result> parse(QByteArrayView rtf, const FileWrapper* directory, Error* error);

    // Replaces the contents of text with what rtf holds.
    static bool read(QByteArrayView rtf, MutableAttributedString& text,
                     DocumentAttributes* documentAttributes, Error* error,
                     const FileWrapper* directory = nullptr);
};
