#pragma once

// Tells bookmark, atom and picture attachments apart by their file names.

#include <QString>

#include <memory>

class OVBookmark;
class TextAttachment;

// The prefix of an atom's file name: the invisible stand-in for a bookmark in prompt output.
inline const QString OVAtomIdentifierPrefixKey = QStringLiteral("_OVAtom");

// What kind of attachment an attachment is, decided only by its file's preferred name.
namespace NSTextAttachmentOVBookmarkAdditions {

// The preferred name begins with "_OVBookmark" and is longer than that.
bool isBookmark(const TextAttachment& attachment);
// The preferred name begins with "_OVAtom" and is longer than that.
bool isAtom(const TextAttachment& attachment);
// The bookmark of a bookmark attachment with a live cell; nothing for one freshly read from disk.
std::shared_ptr<OVBookmark> bookmark(const TextAttachment& attachment);

} // namespace NSTextAttachmentOVBookmarkAdditions
