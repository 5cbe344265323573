#pragma once

#include <QString>

#include <functional>
#include <memory>

class OVBookmark;
class QDialog;
class QDialogButtonBox;
class QLineEdit;
class QWidget;

// The sheet that names a new bookmark or renames one. OK is offered only for a name the bookmark
// can carry everywhere it goes: in menus, in the document package and in its attachment's name.
class OVEditBookmarkWindowController {
public:
    // The help page section the Help button opens.
    static inline const QString kHelpAnchor = QStringLiteral("BookmarksAnchor");
    static inline const QString kReservedNames[] = {QStringLiteral("Content.rtfd"),
                                                    QStringLiteral("Properties.plist")};

    // bookmark is the one being renamed; none when adding.
    static std::unique_ptr<OVEditBookmarkWindowController>
    editBookmarkWindowControllerWithBookmark(std::shared_ptr<OVBookmark> bookmark);
    explicit OVEditBookmarkWindowController(std::shared_ptr<OVBookmark> bookmark);
    ~OVEditBookmarkWindowController();

    // No tab, line break or other white space but the plain blank, not a reserved name, and not
    // the prefix that marks bookmark attachments.
    static bool isValidBookmarkName(const QString& name);

    // The dialog, built on first use; the name field shows the bookmark's name when renaming.
    QDialog* window();
    QLineEdit* nameField();
    bool isOkEnabled();
    // Shows the sheet window-modal over parent and calls done with its return code (1 OK, 0 Cancel).
    void beginSheet(QWidget* parent, std::function<void(int returnCode)> done);

    void okButtonPressed();
    void cancelButtonPressed();
    void helpButtonPressed();
    void controlTextDidChange();

    const std::shared_ptr<OVBookmark>& bookmark() const { return m_bookmark; }
    const std::shared_ptr<OVBookmark>& replacementBookmark() const { return m_replacementBookmark; }
    bool didBookmarkChange() const { return m_didBookmarkChange; }

private:
    void endSheet(int returnCode);

    std::shared_ptr<OVBookmark> m_bookmark;
    std::shared_ptr<OVBookmark> m_replacementBookmark;
    bool m_didBookmarkChange = false;
    std::unique_ptr<QDialog> m_window;
    QLineEdit* m_nameField = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    std::function<void(int)> m_done;
};
