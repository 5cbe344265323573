#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"

#include "textutil/NSMutableAttributedStringHVAdditions.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/text/TextAttachment.h"
#include "text/NSAttributedStringOVBookmarkAdditions.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVBookmark.h"
#include "text/OVBookmarkCell.h"

#include <QTextBoundaryFinder>

#include <typeinfo>

namespace NSMutableAttributedStringOVBookmarkAdditions {

namespace {

constexpr qsizetype kContextLength = 50;
const QString kTruncationSymbol = QStringLiteral("\u2026");

BookmarkControllerState& controllerState()
{
    static BookmarkControllerState state;
    return state;
}

unsigned controllerMenuDisplayMode()
{
    const auto& mode = controllerState().menuDisplayMode;
    return mode ? mode() : 0;
}

bool isNewline(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

bool isWhitespaceOrNewline(QChar c)
{
    return c.isSpace() || isNewline(c);
}

QString trimmed(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isWhitespaceOrNewline(text.at(start)))
        ++start;
    while (end > start && isWhitespaceOrNewline(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

QString collapsedTabs(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\t')) {
            while (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\t'))
                ++i;
            out += QLatin1Char(' ');
        } else {
            out += text.at(i);
        }
    }
    return out;
}

// The end of a context window that starts at index, never splitting a composed character. A
// composed character longer than the window (only hostile text has one) is cut at the window's end.
qsizetype contextEnd(const QString& text, qsizetype index)
{
    qsizetype end = std::min<qsizetype>(text.size(), index + kContextLength);
    if (end >= text.size())
        return text.size();
    // Between two characters below the combining marks (and not a CR LF pair) there is always a
    // boundary: the common case needs no analysis at all.
    const char16_t before = text.at(end - 1).unicode();
    const char16_t after = text.at(end).unicode();
    if (before < 0x300 && after < 0x300 && !(before == u'\r' && after == u'\n'))
        return end;
    // Otherwise a boundary depends on a few neighbouring characters only: looking at a window keeps
    // a walk over thousands of bookmarks from analysing the whole script for each of them.
    constexpr qsizetype kBefore = 32;
    constexpr qsizetype kAfter = 64;
    const qsizetype from = std::max(index, end - kBefore);
    const qsizetype to = std::min<qsizetype>(text.size(), end + kAfter);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + from, to - from);
    finder.setPosition(end - from);
    if (finder.isAtBoundary())
        return end;
    const qsizetype next = finder.toNextBoundary();
    return next < 0 ? to : from + next;
}

struct BookmarkRun {
    std::shared_ptr<TextAttachment> attachment;
    Range range;
};

std::vector<BookmarkRun> bookmarkRuns(const AttributedString& string, const Range& range)
{
    // Attachments sit only on attachment characters, so finding those characters (a fast scan of
    // the text) and asking each for its run is far cheaper than visiting every run of a long,
    // richly styled script.
    std::vector<BookmarkRun> runs;
    const QString& text = string.string();
    const Range limit = range.intersection({0, string.length()});
    for (qsizetype i = text.indexOf(QChar(kAttachmentCharacter), limit.location); i >= 0 && i < limit.end();
         i = text.indexOf(QChar(kAttachmentCharacter), i)) {
        Range runRange;
        auto attachment = string.attribute(kAttachmentAttributeName, i, &runRange).attachment();
        runRange = runRange.intersection(limit);
        if (runRange.isEmpty())
            runRange = {i, 1};
        if (attachment && NSTextAttachmentOVBookmarkAdditions::isBookmark(*attachment))
            runs.push_back({std::move(attachment), runRange});
        i = std::max(i + 1, runRange.end());
    }
    return runs;
}

bool hasExactBookmarkCell(const TextAttachment& attachment)
{
    const TextAttachmentCell* cell = attachment.attachmentCell().get();
    return cell && typeid(*cell) == typeid(OVBookmarkCell);
}

// Walks one transient-name pass: the display mode is taken once, at the first live bookmark.
class TransientNamer {
public:
    void update(const AttributedString& string, const BookmarkRun& run)
    {
        if (!hasExactBookmarkCell(*run.attachment))
            return;
        const auto bookmark =
            std::static_pointer_cast<OVBookmarkCell>(run.attachment->attachmentCell())->bookmark();
        if (!bookmark)
            return;
        if (!m_modeTaken) {
            m_mode = _bookmarkMenuDisplayMode(controllerMenuDisplayMode(), true);
            m_modeTaken = true;
        }
        if (m_mode == 0 && !bookmark->name().value_or(QString()).isEmpty())
            return;
        bookmark->setTransientName(_transientNameFromIndex(string, run.range.end()));
    }

private:
    bool m_modeTaken = false;
    unsigned m_mode = 0;
};

void prepareForLoading(const AttributedString& string, const BookmarkRun& run, TransientNamer& namer)
{
    TextAttachment& attachment = *run.attachment;
    std::shared_ptr<OVBookmarkCell> cell;
    if (hasExactBookmarkCell(attachment)) {
        cell = std::static_pointer_cast<OVBookmarkCell>(attachment.attachmentCell());
    } else {
        const QByteArray contents =
            attachment.fileWrapper() ? attachment.fileWrapper()->regularFileContents() : QByteArray();
        auto bookmark = contents.isEmpty() ? nullptr : OVBookmark::unarchivedBookmark(contents);
        cell = OVBookmarkCell::cellWithBookmark(std::move(bookmark), run.attachment);
        attachment.setAttachmentCell(cell);
    }
    if (!cell)
        return;
    cell->updateImage();
    namer.update(string, run);
}

void setCellVisibility(const TextAttachment& attachment, bool visible)
{
    const auto cell = std::dynamic_pointer_cast<OVBookmarkCell>(attachment.attachmentCell());
    if (!cell || cell->isVisible() == visible)
        return;
    cell->setVisible(visible);
    cell->updateImage();
}

} // namespace

void setBookmarkControllerState(BookmarkControllerState state)
{
    controllerState() = std::move(state);
}

unsigned _bookmarkMenuDisplayMode(unsigned value, bool setValue)
{
    static unsigned mode = 0;
    if (setValue)
        mode = value;
    return mode;
}

unsigned _bookmarkMenuDisplayMode()
{
    return _bookmarkMenuDisplayMode(0, false);
}

void performAction(MutableAttributedString& string, unsigned action, const Range& onBookmarksInRange)
{
    if (onBookmarksInRange.length == 0)
        return;
    if (action > HideCells) {
        qWarning("Unknown modificationAction");
        return;
    }
    const std::vector<BookmarkRun> runs = bookmarkRuns(string, onBookmarksInRange);
    TransientNamer namer;
    switch (action) {
    case PrepareForLoading:
        for (const BookmarkRun& run : runs)
            prepareForLoading(string, run, namer);
        break;
    case PrepareForSaving:
        for (const BookmarkRun& run : runs)
            if (run.attachment->fileWrapper())
                run.attachment->fileWrapper()->setIcon(QVariant());
        break;
    case UpdateTransientNames:
        for (const BookmarkRun& run : runs)
            namer.update(string, run);
        break;
    case RemoveAll:
        // Last to first, so the ranges still to delete stay where they were found.
        string.beginEditing();
        for (auto it = runs.rbegin(); it != runs.rend(); ++it)
            string.deleteCharacters(it->range);
        string.endEditing();
        break;
    case RecreateAttachments:
        for (const BookmarkRun& run : runs) {
            if (const auto bookmark = NSTextAttachmentOVBookmarkAdditions::bookmark(*run.attachment))
                if (auto attachment = bookmark->textAttachment())
                    string.addAttribute(kAttachmentAttributeName, AttributeValue(std::move(attachment)),
                                        run.range);
        }
        break;
    case ShowCells:
    case HideCells:
        for (const BookmarkRun& run : runs)
            setCellVisibility(*run.attachment, action == ShowCells);
        break;
    }
}

void fixBookmarksInRange(MutableAttributedString& string, const Range& range)
{
    performAction(string, PrepareForLoading, range);
}

void prepareBookmarksForLoading(MutableAttributedString& string)
{
    performAction(string, PrepareForLoading, Range{0, string.length()});
}

void prepareBookmarksForSaving(MutableAttributedString& string)
{
    performAction(string, PrepareForSaving, Range{0, string.length()});
}

void updateBookmarkTransientNames(MutableAttributedString& string)
{
    performAction(string, UpdateTransientNames, Range{0, string.length()});
}

void removeAllBookmarks(MutableAttributedString& string)
{
    performAction(string, RemoveAll, Range{0, string.length()});
}

void recreateBookmarkAttachments(MutableAttributedString& string)
{
    performAction(string, RecreateAttachments, Range{0, string.length()});
}

void showBookmarkCells(MutableAttributedString& string)
{
    performAction(string, ShowCells, Range{0, string.length()});
}

void hideBookmarkCells(MutableAttributedString& string)
{
    performAction(string, HideCells, Range{0, string.length()});
}

void replaceBookmarksWithAtoms(MutableAttributedString& string)
{
    replaceBookmarksWithAtomsInRange(string, Range{0, string.length()});
}

void replaceBookmarksWithAtomsInRange(MutableAttributedString& string, const Range&)
{
    const auto& showInPrompt = controllerState().cachedShowBookmarksInPromptMode;
    if (showInPrompt && showInPrompt())
        return;
    const auto atom = NSAttributedStringOVBookmarkAdditions::atomAttributedString();
    if (!atom)
        return;
    const auto ranges = NSAttributedStringOVBookmarkAdditions::bookmarkCharacterRanges(string);
    if (!ranges)
        return;
    string.beginEditing();
    for (auto it = ranges->rbegin(); it != ranges->rend(); ++it)
        NSMutableAttributedStringHVAdditions::replaceCharactersInRange(string, *it, *atom, true);
    string.endEditing();
}

QString _transientNameFromIndex(const AttributedString& string, qsizetype index)
{
    if (!UserDefaults::shared().boolForKey(kBookmarksShowContextKey))
        return QString();
    const QString& text = string.string();
    index = std::clamp<qsizetype>(index, 0, text.size());
    qsizetype end = contextEnd(text, index);

    QString suffix;
    bool hasSuffix = false;
    const qsizetype found = QStringView(text).mid(index, end - index).indexOf(QChar(kAttachmentCharacter));
    const qsizetype mark = found < 0 ? -1 : index + found;
    if (mark >= 0 && mark < end) {
        if (const auto attachment = string.attribute(kAttachmentAttributeName, mark).attachment()) {
            end = mark;
            if (!NSTextAttachmentOVBookmarkAdditions::isBookmark(*attachment)) {
                hasSuffix = true;
                const QString name =
                    attachment->fileWrapper() ? attachment->fileWrapper()->preferredFilename() : QString();
                if (!name.isEmpty())
                    suffix = QLatin1Char('(') + name + QLatin1Char(')');
            }
        }
    }

    QString result;
    if (end > index) {
        result = trimmed(text.mid(index, end - index));
        for (QChar& c : result)
            if (isNewline(c))
                c = QChar(0x2007);
    }
    result += suffix;
    result = collapsedTabs(result);

    if (!result.isEmpty()) {
        // A picture's name closes the context as it is: only a text of the script's own loses its
        // trailing punctuation.
        if (!hasSuffix || suffix.isEmpty()) {
            qsizetype cut = result.size();
            while (cut > 0 && result.at(cut - 1).isPunct())
                --cut;
            result.truncate(cut);
        }
        return result + kTruncationSymbol;
    }
    if (_bookmarkMenuDisplayMode() != 0)
        return QString();
    return HVLocalizedString::localizedString(QStringLiteral("bookmark-bookmark"),
                                              QStringLiteral("Bookmark"));
}

} // namespace NSMutableAttributedStringOVBookmarkAdditions
