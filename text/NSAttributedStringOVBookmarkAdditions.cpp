#include "text/NSAttributedStringOVBookmarkAdditions.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/Uuid.h"
#include "platform/text/TextAttachment.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"

namespace NSAttributedStringOVBookmarkAdditions {

namespace {

// A fully transparent 1x1 picture: an atom takes its place in the line and shows nothing.
const unsigned char kAtomTiff[] = {
    0x49, 0x49, 0x2a, 0x00, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x08, 0x00,
    0x08, 0x00, 0x08, 0x00, 0x0b, 0x00, 0x00, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00,
    0x00, 0x00, 0x01, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x01,
    0x03, 0x00, 0x04, 0x00, 0x00, 0x00, 0x0c, 0x00, 0x00, 0x00, 0x03, 0x01, 0x03, 0x00, 0x01, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00,
    0x00, 0x00, 0x11, 0x01, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x15, 0x01,
    0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x16, 0x01, 0x03, 0x00, 0x01, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x17, 0x01, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x04, 0x00,
    0x00, 0x00, 0x1c, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x52, 0x01,
    0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

std::optional<QByteArray> builtInAtom(Error*)
{
    return QByteArray(reinterpret_cast<const char*>(kAtomTiff), sizeof kAtomTiff);
}

struct AtomState {
    AtomResourceLoader loader = builtInAtom;
    bool tried = false;
    std::optional<AttributedString> string;
};

AtomState& atomState()
{
    static AtomState state;
    return state;
}

std::optional<AttributedString> makeAtomString(const AtomResourceLoader& loader)
{
    Error error;
    const std::optional<QByteArray> contents = loader(&error);
    if (!contents) {
        qWarning("atomFileWrapper error:  %s", qPrintable(error.localizedDescription()));
        return std::nullopt;
    }
    auto wrapper = FileWrapper::makeRegularFile(*contents);
    const QString name =
        QStringLiteral("%1 %2.%3").arg(OVAtomIdentifierPrefixKey, uuidString(), QStringLiteral("tiff"));
    wrapper->setFilename(name);
    wrapper->setPreferredFilename(name);
    auto attachment = std::make_shared<TextAttachment>(wrapper);
    AttributedString string(QString(QChar(kAttachmentCharacter)),
                            AttributeDictionary{{kAttachmentAttributeName, AttributeValue(attachment)}});
    if (string.length() != 1) {
        qWarning("atomAttributedString is nil");
        return std::nullopt;
    }
    return string;
}

bool matches(const TextAttachment& attachment, AttachmentType type)
{
    using namespace NSTextAttachmentOVBookmarkAdditions;
    switch (type) {
    case AttachmentType::Any:
        return true;
    case AttachmentType::Image:
        return !isBookmark(attachment) && !isAtom(attachment);
    case AttachmentType::Bookmark:
        return isBookmark(attachment);
    case AttachmentType::Atom:
        return isAtom(attachment);
    }
    return false;
}

} // namespace

std::optional<AttributedString> atomAttributedString()
{
    AtomState& state = atomState();
    if (!state.tried) {
        state.tried = true;
        state.string = makeAtomString(state.loader);
    }
    return state.string;
}

void setAtomResourceLoader(AtomResourceLoader loader)
{
    AtomState& state = atomState();
    state.loader = loader ? std::move(loader) : AtomResourceLoader(builtInAtom);
    state.tried = false;
    state.string.reset();
}

std::optional<std::vector<Range>> _characterRangesForAttachmentType(const AttributedString& string,
                                                                    AttachmentType type, const Range& range,
                                                                    bool* containsSearchOnly)
{
    std::vector<Range> ranges;
    bool found = false;
    string.enumerateAttribute(kAttachmentAttributeName, range, 0,
                              [&](const AttributeValue& value, const Range& runRange, bool& stop) {
                                  const auto attachment = value.attachment();
                                  if (!attachment || runRange.length <= 0 ||
                                      string.characterAtIndex(runRange.location) != kAttachmentCharacter)
                                      return;
                                  if (!matches(*attachment, type))
                                      return;
                                  if (containsSearchOnly) {
                                      found = true;
                                      stop = true;
                                      return;
                                  }
                                  ranges.push_back(runRange);
                              });
    if (containsSearchOnly)
        *containsSearchOnly = found;
    if (ranges.empty())
        return std::nullopt;
    return ranges;
}

bool _containsAttachmentType(const AttributedString& string, AttachmentType type, const Range& range)
{
    bool found = false;
    _characterRangesForAttachmentType(string, type, range, &found);
    return found;
}

std::optional<std::vector<Range>> bookmarkCharacterRanges(const AttributedString& string)
{
    return _characterRangesForAttachmentType(string, AttachmentType::Bookmark, Range{0, string.length()},
                                             nullptr);
}

std::optional<std::vector<Range>> atomCharacterRanges(const AttributedString& string)
{
    return _characterRangesForAttachmentType(string, AttachmentType::Atom, Range{0, string.length()},
                                             nullptr);
}

std::optional<std::vector<Range>> anyAttachmentCharacterRangesInRange(const AttributedString& string,
                                                                      const Range& range)
{
    return _characterRangesForAttachmentType(string, AttachmentType::Any, range, nullptr);
}

std::optional<std::vector<Range>> imageCharacterRangesInRange(const AttributedString& string,
                                                              const Range& range)
{
    return _characterRangesForAttachmentType(string, AttachmentType::Image, range, nullptr);
}

std::optional<std::vector<Range>> bookmarkCharacterRangesInRange(const AttributedString& string,
                                                                 const Range& range)
{
    return _characterRangesForAttachmentType(string, AttachmentType::Bookmark, range, nullptr);
}

std::optional<std::vector<Range>> atomCharacterRangesInRange(const AttributedString& string,
                                                             const Range& range)
{
    return _characterRangesForAttachmentType(string, AttachmentType::Atom, range, nullptr);
}

bool containsAnyAttachmentInRange(const AttributedString& string, const Range& range)
{
    return _containsAttachmentType(string, AttachmentType::Any, range);
}

bool containsImageAttachmentInRange(const AttributedString& string, const Range& range)
{
    return _containsAttachmentType(string, AttachmentType::Image, range);
}

bool containsBookmarkAttachmentInRange(const AttributedString& string, const Range& range)
{
    return _containsAttachmentType(string, AttachmentType::Bookmark, range);
}

bool containsAtomAttachmentInRange(const AttributedString& string, const Range& range)
{
    return _containsAttachmentType(string, AttachmentType::Atom, range);
}

} // namespace NSAttributedStringOVBookmarkAdditions
