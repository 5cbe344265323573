#include "app/OVDocumentControllerBridge.h"

#include "document/OVDocumentPackageWriter.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/foundation/Error.h"
#include "platform/text/MutableAttributedString.h"

#include <QTemporaryDir>

namespace ovdocumentbridge {

DocumentController& sharedDocumentController()
{
    return DocumentController::shared();
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
    // The script goes through a package of its own, read back as an unsaved copy: the same road
    // every opened script takes, so the new window starts exactly as a saved script would.
    QTemporaryDir folder;
    if (!folder.isValid()) {
        setError(error, Error::cocoa(kFileWriteUnknownError));
        return nullptr;
    }
    const QUrl url = QUrl::fromLocalFile(folder.filePath(QStringLiteral("Generated.ovdocument")));
    MutableAttributedString text(string);
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    input.backgroundColor = background;
    if (!OVDocumentPackageWriter::writeToURL(url, {}, input, error))
        return nullptr;
    return openDocumentAsUnsavedCopy(url, displayName, error);
}

} // namespace ovdocumentbridge
