#include "app/OVDocumentControllerBridge.h"

#include "document/OVDocument.h"
#include "document/OVDocumentController.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/foundation/Error.h"


namespace ovdocumentbridge {

DocumentController& sharedDocumentController()
{
    return OVDocumentController::shared();
}

bool hasPrompterDocument()
{
    for (const Document* document : sharedDocumentController().documents()) {
        if (document->className() == QLatin1String("OVDocument"))
            return true;
    }
    return false;
}

Document* newDocument(Error* error)
{
    return sharedDocumentController().openUntitledDocumentAndDisplay(true, error);
}

Document* openDocument(const QUrl& url, Error* error)
{
    return sharedDocumentController().openDocumentWithContentsOfURL(url, true, error);
}

Document* openDocumentAsUnsavedCopy(const QUrl& url, const QString& displayName, Error* error)
{
    return sharedDocumentController().duplicateDocumentWithContentsOfURL(url, displayName, error);
}

Document* makeNewPrompterDocumentWithAttributedString(const AttributedString& string, const Color& background,
                                                      const QString& displayName, Error* error)
{
    OVDocument* document =
        OVDocumentController::shared().makeNewPrompterDocumentWithAttributedString(&string, background, error);
    if (document && !displayName.isEmpty())
        document->setDisplayName(displayName);
    return document;
}

} // namespace ovdocumentbridge
