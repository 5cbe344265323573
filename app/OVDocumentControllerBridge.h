#pragma once

#include <QString>
#include <QUrl>

class AttributedString;
class Document;
class DocumentController;
class Error;
struct Color;

// Where the application delegate reaches the program's documents: each call goes to the shared
// prompter document controller, so the delegate's tests can stand in for it in one place.
namespace ovdocumentbridge {

DocumentController& sharedDocumentController();
// Whether any open document is a prompter script (not some other kind the controller holds).
bool hasPrompterDocument();
// A new untitled script in its window.
Document* newDocument(Error* error);
// Opens and shows the file, or brings it forward when it is open already.
Document* openDocument(const QUrl& url, Error* error);
// An untitled, edited copy of the file under displayName: Save asks where to put it.
Document* openDocumentAsUnsavedCopy(const QUrl& url, const QString& displayName, Error* error);
// A new untitled script holding string on background, shown under displayName.
Document* makeNewPrompterDocumentWithAttributedString(const AttributedString& string, const Color& background,
                                                      const QString& displayName, Error* error);

} // namespace ovdocumentbridge
