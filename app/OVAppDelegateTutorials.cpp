// The application delegate's tutorial and sample scripts: the Help menu's tutorial, the tongue
// twister, and the generated line and lorem ipsum scripts.
#include "app/OVAppDelegate.h"
#include "app/OVAppDelegatePrivate.h"

#include "app/OVDocumentControllerBridge.h"
#include "app/OVTutorialDocuments.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Screen.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/text/DocumentAttributes.h"
#include "settings/OVSharedPreferencesAccess.h"

using namespace OVAppDelegatePrivate;

void OVAppDelegate::setModifierFlagsProvider(ModifierFlagsProvider provider)
{
    modifierFlagsProvider() = std::move(provider);
}

void OVAppDelegate::openTutorialDocument(unsigned long modifierFlags)
{
    const bool option = modifierFlags & kOptionKeyMask;
    const bool shift = modifierFlags & kShiftKeyMask;
    if (option) {
        openGeneratedDocument(shift);
        return;
    }
    if (shift) {
        _openInternalDocumentWithName(
            OVTutorialDocuments::kTongueTwisterName + u'.' + OVTutorialDocuments::kExtension, {});
        return;
    }
    _openDemoDocument();
}

void OVAppDelegate::_openDemoDocument()
{
    const std::vector<Screen> screens = Screen::screens();
    const double width = screens.empty() ? 0 : screens.front().visibleFrame().size.width;
    const QString name = OVTutorialDocuments::tutorialName(m_demoDocumentsFolder, width, QLocale());
    _openInternalDocumentWithName(name + u'.' + OVTutorialDocuments::kExtension, name.trimmed());
}

Document* OVAppDelegate::_openInternalDocumentWithName(const QString& name, const QString& displayName)
{
    const QString path = OVTutorialDocuments::pathForDocument(m_demoDocumentsFolder, name, QLocale());
    if (path.isEmpty())
        return nullptr;
    Error error;
    Document* document =
        ovdocumentbridge::openDocumentAsUnsavedCopy(QUrl::fromLocalFile(path), displayName, &error);
    if (!document) {
        Application::shared().presentError(error);
        return nullptr;
    }
    // The About panel counts the demo scripts opened, which only this door opens.
    HVAppServices::shared().analytics().incrementIntegerForKeyPath(QStringLiteral("documents.openedDemoDocuments"));
    bringForward(document);
    return document;
}

Document* OVAppDelegate::openGeneratedDocument(bool loremIpsum)
{
    AttributeDictionary attributes =
        OVSharedPreferencesAccess::defaultStyleAttributesWithDocumentAttributes().value_or(
            AttributeDictionary());
    Color background = Color::gray(1.0);
    if (const AttributeValue* value = attributes.find(NSBackgroundColorDocumentAttribute)) {
        if (value->color())
            background = *value->color();
        attributes.remove(NSBackgroundColorDocumentAttribute);
    }
    const MutableAttributedString text = loremIpsum ? OVTutorialDocuments::loremIpsumText(attributes)
                                                    : OVTutorialDocuments::linesText(attributes);
    const QString name = loremIpsum ? OVTutorialDocuments::kLoremIpsumName : OVTutorialDocuments::kLinesName;
    Error error;
    Document* document =
        ovdocumentbridge::makeNewPrompterDocumentWithAttributedString(text, background, name, &error);
    if (!document) {
        Application::shared().presentError(error);
        return nullptr;
    }
    bringForward(document);
    return document;
}
