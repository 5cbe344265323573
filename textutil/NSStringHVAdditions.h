#pragma once

// String helpers every deliverable shares: attachments, trimming, splitting, UUIDs, file types.

#include "platform/foundation/Range.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// String helpers every deliverable shares: attachment positions, trimming, line and word splitting,
// UUID strings and type look-ups by file-name extension.
namespace NSStringHVAdditions {

// Membership test of a character set, one UTF-16 unit at a time.
using CharacterSet = std::function<bool(char16_t)>;

inline const QString kFilenameExtensionTagClass = QStringLiteral("public.filename-extension");
inline const QString kMIMETypeTagClass = QStringLiteral("public.mime-type");

QString stringWithCharacter(char16_t character);
QString stringWithAttachmentCharacter();
// A new random UUID: 36 characters, upper-case hexadecimal groups 8-4-4-4-12.
QString stringWithUUID();

Range fullRange(const QString& string);
// Without white space and newlines at both ends.
QString stringByTrimmingString(const QString& string);
// Where the trimmed string lies in string.
Range rangeOfTrimmedString(const QString& string);
// Every occurrence of find replaced by replace; an empty find leaves the string as it is.
QString find(const QString& string, const QString& find, const QString& replace);
// Whether the text ends lines other than with "\n": with CR LF pairs or lone CRs.
bool containsUnsupportedLineEndingStrings(const QString& string);
// Lines after turning "\r\n" and then "\r" into "\n"; a final newline gives a final empty line.
QStringList linesFromString(const QString& string);
// The ranges of every attachment character in ascending order; nothing when there is none.
std::optional<std::vector<Range>> attachmentRanges(const QString& string);
// Runs of characters of the set become one space between the pieces they separate; leading ones
// vanish, a trailing run gives one space only when at least two characters long.
QString stripCharacterSet(const QString& string, const CharacterSet& set);
// The words of a text: split at symbols, punctuation (apostrophes and ":" kept inside words),
// newlines and tabs; every word but the first trimmed of punctuation, empty ones dropped.
QStringList words(const QString& string);

// The uniform type identifier for an extension ("png" -> "public.png"); empty when unknown.
QString UTIForExtension(const QString& extension);
// The preferred MIME type of a type identifier; empty when it has none.
QString MIMETypeForUTI(const QString& uti);
QString MIMETypeForExtension(const QString& extension);

} // namespace NSStringHVAdditions
