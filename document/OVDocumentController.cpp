#include "document/OVDocumentController.h"

#include "document/OVDocument.h"
#include "document/OVDocumentContentController.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/WindowController.h"
#include "platform/text/AttributedString.h"
#include "settings/OVSharedPreferencesAccess.h"

#include <QApplication>
#include <QDebug>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

namespace {

// The program's controller: the first one made, while it lives.
OVDocumentController* s_shared = nullptr;

void log(const QString& line)
{
    qWarning("%s", qUtf8Printable(line));
}

QString errorText(const Error& error)
{
    return error.isNull() ? QStringLiteral("(null)") : error.localizedDescription();
}

} // namespace

OVDocumentController::OVDocumentController()
{
    if (!s_shared)
        s_shared = this;
    NotificationCenter& center = NotificationCenter::shared();
    m_observers.emplace_back(center, kWindowDidBecomeMainNotification, nullptr,
                             [this](const Notification& n) { frontMostWindowChangedNotification(n); });
    m_observers.emplace_back(center, kWindowWillCloseNotification, nullptr,
                             [this](const Notification& n) { frontMostWindowWillCloseNotification(n); });
}

OVDocumentController::~OVDocumentController()
{
    m_observers.clear();
    if (s_shared == this)
        s_shared = nullptr;
}

OVDocumentController& OVDocumentController::shared()
{
    if (!s_shared) {
        static OVDocumentController fallback;
        return fallback;
    }
    return *s_shared;
}

bool OVDocumentController::sharedControllerExists()
{
    return s_shared != nullptr;
}

QString OVDocumentController::OVDocumentUTI()
{
    return ::OVDocumentUTI;
}

// Front-most document.

OVDocument* OVDocumentController::frontMostDocument() const
{
    // The document is owned by this controller; one taken out without its window closing first is
    // no longer front-most.
    const std::vector<Document*> open = documents();
    if (std::find(open.begin(), open.end(), m_frontMostDocument) == open.end())
        return nullptr;
    return m_frontMostDocument;
}

void OVDocumentController::setFrontMostDocument(OVDocument* document)
{
    QVariantMap userInfo;
    if (const OVDocument* previous = frontMostDocument())
        userInfo.insert(OVDocumentControllerPreviousFrontMostDocumentClassNameKey, previous->className());
    m_frontMostDocument = document;
    NotificationCenter::shared().postNotification(OVDocumentControllerDidChangeFrontMostDocumentNotification,
                                                  static_cast<const Document*>(document), userInfo);
}

void OVDocumentController::frontMostWindowChangedNotification(const Notification& notification)
{
    // The notification's object is the window; it is only compared, never followed.
    auto* document =
        dynamic_cast<OVDocument*>(documentForWindow(static_cast<const Window*>(notification.object)));
    if (document && document != frontMostDocument())
        setFrontMostDocument(document);
}

void OVDocumentController::frontMostWindowWillCloseNotification(const Notification& notification)
{
    const Document* document = documentForWindow(static_cast<const Window*>(notification.object));
    if (document && document == frontMostDocument())
        setFrontMostDocument(nullptr);
}

// Readable files.

std::optional<QStringList> OVDocumentController::readableFilesFromPathsArray(const QStringList& paths) const
{
    QStringList readable;
    for (const QString& path : paths) {
        Error error;
        const QString type =
            typeForContentsOfURL(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()), &error);
        if (type.isEmpty()) {
            log(QStringLiteral("%1 documentType error = %2")
                    .arg(QStringLiteral("-[OVDocumentController readableFilesFromPathsArray:]"),
                         errorText(error)));
            continue;
        }
        if (!documentClassForType(type).isEmpty())
            readable.append(path);
    }
    if (readable.isEmpty())
        return std::nullopt;
    return readable;
}

// New documents.

OVDocument* OVDocumentController::makeNewPrompterDocumentWithString(const QString& string, Error* error)
{
    const AttributedString text(
        string, OVSharedPreferencesAccess::defaultStyleAttributes().value_or(AttributeDictionary()));
    return makeNewPrompterDocumentWithAttributedString(&text, std::nullopt, error);
}

std::unique_ptr<Document> OVDocumentController::makeUntitledDocumentOfType(const QString& type, Error* error)
{
    if (OVDocument::isPromptMode()) {
        log(QStringLiteral("Attempted to make a new document in Prompt mode."));
        setError(error, Error::userCancelled());
        QApplication::beep();
        return nullptr;
    }
    return DocumentController::makeUntitledDocumentOfType(type, error);
}

OVDocument* OVDocumentController::makeNewPrompterDocumentWithAttributedString(
    const AttributedString* attributedString, const std::optional<Color>& backgroundColor, Error* error)
{
    Error opening;
    Document* made = openUntitledDocumentAndDisplay(true, &opening);
    if (!made) {
        log(QStringLiteral("Failed to open untitled document%1%2")
                .arg(error ? QStringLiteral(" with error: ") : QString(),
                     error ? errorText(opening) : QString()));
        setError(error, opening);
        return nullptr;
    }
    auto* document = dynamic_cast<OVDocument*>(made);
    OVDocumentContentController* content = document ? document->contentController() : nullptr;
    if (!content) {
        log(QStringLiteral("Document created is not the type we expected"));
        // The caller must not report a script that was never made.
        setError(error,
                 Error::cocoa(kFileReadUnknownError, {}, QStringLiteral("A new script could not be made.")));
        return nullptr;
    }
    if (attributedString)
        content->setAttributedString(*attributedString);
    if (backgroundColor)
        content->setBackgroundColor(*backgroundColor);
    content->setSelectedRangesStringArray({});
    document->auxiliaryAutosave(defaultType());
    return document;
}

std::vector<WindowController*> OVDocumentController::allWindowControllers() const
{
    std::vector<WindowController*> controllers;
    for (Document* document : documents())
        for (WindowController* controller : document->windowControllers())
            controllers.push_back(controller);
    return controllers;
}
