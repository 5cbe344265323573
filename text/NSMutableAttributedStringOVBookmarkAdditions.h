#pragma once

// A text's bookmarks moved between their editor, stored and prompt-output forms.

#include "platform/text/MutableAttributedString.h"

#include <functional>

// Moves a whole text, or a range of it, between the states its bookmarks pass through: live in the
// editor, stored, freshly read, shown or hidden in prompt output, replaced by atoms.
namespace NSMutableAttributedStringOVBookmarkAdditions {

enum BookmarkAction : unsigned {
    PrepareForLoading = 0,
    PrepareForSaving = 1,
    UpdateTransientNames = 2,
    RemoveAll = 3,
    RecreateAttachments = 4,
    ShowCells = 5,
    HideCells = 6,
};

// The user default that turns context names on.
inline const QString kBookmarksShowContextKey = QStringLiteral("bookmarksShowContext");

// What the walker asks of the bookmark controller, which lives with the views: its menu display
// mode and whether bookmarks stay visible in prompt output. Until one is installed the answers are
// 0 and false.
struct BookmarkControllerState {
    std::function<unsigned()> menuDisplayMode;
    std::function<bool()> cachedShowBookmarksInPromptMode;
};
void setBookmarkControllerState(BookmarkControllerState state);

void performAction(MutableAttributedString& string, unsigned action, const Range& onBookmarksInRange);
void fixBookmarksInRange(MutableAttributedString& string, const Range& range);
void prepareBookmarksForLoading(MutableAttributedString& string);
void prepareBookmarksForSaving(MutableAttributedString& string);
void updateBookmarkTransientNames(MutableAttributedString& string);
void removeAllBookmarks(MutableAttributedString& string);
void recreateBookmarkAttachments(MutableAttributedString& string);
void showBookmarkCells(MutableAttributedString& string);
void hideBookmarkCells(MutableAttributedString& string);
void replaceBookmarksWithAtoms(MutableAttributedString& string);
// Replaces every bookmark of the string (the range does not narrow it) by the atom character,
// keeping the surrounding attributes; nothing when bookmarks stay visible or there is no atom.
void replaceBookmarksWithAtomsInRange(MutableAttributedString& string, const Range& range);

// The context name of a bookmark whose attachment ends at index.
QString _transientNameFromIndex(const AttributedString& string, qsizetype index);
// The process-wide menu display mode of the last transient-name walk.
unsigned _bookmarkMenuDisplayMode();
unsigned _bookmarkMenuDisplayMode(unsigned value, bool setValue);

} // namespace NSMutableAttributedStringOVBookmarkAdditions
