#pragma once

#include "platform/appkit/DocumentController.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/text/Color.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class AttributedString;
class OVDocument;
class WindowController;

// Object: the new front-most document (a Document), or none. User info: the previous front-most
// document's class name under the key below; no user info when there was none.
inline const QString OVDocumentControllerDidChangeFrontMostDocumentNotification =
    QStringLiteral("OVDocumentControllerDidChangeFrontMostDocumentNotification");
inline const QString OVDocumentControllerPreviousFrontMostDocumentClassNameKey =
    QStringLiteral("OVDocumentControllerPreviousFrontMostDocumentClassNameKey");

// The application's document controller. Beyond opening and making documents it knows the
// front-most document, the one whose window last became main, and announces every change of it, so
// the talent output and the preview follow the script the operator works on. It also sorts readable
// files out of a list of paths and makes new untitled scripts from given text.
class OVDocumentController : public DocumentController {
public:
    OVDocumentController();
    ~OVDocumentController() override;

    // The program's controller: the first one made, while it lives; without one, one made on first use.
    static OVDocumentController& shared();
    // Whether one was made, asked without making one.
    static bool sharedControllerExists();

    // The native document type.
    static QString OVDocumentUTI();

    // Null at start and after the front-most document's window closed; another window becoming main
    // (a panel, the preview) leaves it as it is.
    OVDocument* frontMostDocument() const;
    // Stores document and posts the change, every time.
    void setFrontMostDocument(OVDocument* document);

    // The paths, in their order, whose contents a document class reads; nothing (not an empty list)
    // when none does.
    std::optional<QStringList> readableFilesFromPathsArray(const QStringList& paths) const;

    // A new untitled script in the default style holding string, shown and autosaved at once.
    OVDocument* makeNewPrompterDocumentWithString(const QString& string, Error* error);
    // A new untitled script holding attributedString (empty when not given) on backgroundColor (the
    // default style's when not given), shown and autosaved at once; nothing, with error set, when no
    // script could be made.
    OVDocument* makeNewPrompterDocumentWithAttributedString(const AttributedString* attributedString,
                                                            const std::optional<Color>& backgroundColor,
                                                            Error* error);

    // Refused, as the user-cancelled error, in Prompt mode: a window made while prompting misses the
    // editor's set-up (focus arrow, default style), as opening a file there would.
    std::unique_ptr<Document> makeUntitledDocumentOfType(const QString& type, Error* error) override;

    // The window controllers of every open document, in the order the documents were added.
    std::vector<WindowController*> allWindowControllers() const;

private:
    void frontMostWindowChangedNotification(const Notification& notification);
    void frontMostWindowWillCloseNotification(const Notification& notification);

    OVDocument* m_frontMostDocument = nullptr;
    std::vector<NotificationObserver> m_observers;
};
