#include "document/OVDocumentExportAccessoryViewController.h"

#include "document/OVDocument.h"
#include "document/OVDocumentContentController.h"
#include "document/OVDocumentExport.h"
#include "document/OVDocumentExportPreviewWindowController.h"
#include "platform/appkit/SavePanel.h"
#include "platform/appkit/UniformTypeRegistry.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVHelp.h"
#include "platform/hvkit/NSColorHVAdditions.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfReader.h"
#include "platform/text/Rtfd.h"
#include "platform/text/TextAttachment.h"
#include "platform/textformats/Docx.h"
#include "platform/textformats/HtmlReader.h"
#include "platform/textformats/Odt.h"
#include "platform/textformats/PlainText.h"
#include "platform/textformats/WebArchive.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMimeDatabase>
#include <QPushButton>

#include <bit>

namespace {

const QString kRecentTypeKey = QStringLiteral("exportRecentFileTypeUTI");
const QString kSimplifiedStyleKey = QStringLiteral("useSimplifiedStyleDocumentExport");
const QString kRtfType = QStringLiteral("public.rtf");
const QString kPlainTextType = QStringLiteral("public.plain-text");

// The names in the order the report lists them. (It differs from the bits' order in one place:
// space formatting comes before background colour.)
struct Name {
    unsigned bit;
    const char* text;
};
constexpr Name kNames[] = {
    {OVDocumentExportAccessoryViewController::Text, "text"},
    {OVDocumentExportAccessoryViewController::TextStyles, "text styles"},
    {OVDocumentExportAccessoryViewController::SpaceFormatting, "space formatting"},
    {OVDocumentExportAccessoryViewController::BackgroundColor, "background color"},
    {OVDocumentExportAccessoryViewController::Bookmarks, "bookmarks"},
    {OVDocumentExportAccessoryViewController::Images, "images"},
    {OVDocumentExportAccessoryViewController::DocumentMetadata, "document metadata"},
    {OVDocumentExportAccessoryViewController::PrompterSpecificMetadata, "prompter-specific metadata"},
};

bool hasValue(const QVariantMap& map)
{
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        if (it.value().isValid() && !it.value().isNull())
            return true;
    return false;
}

bool differsInSpacing(const ParagraphStyle& style)
{
    const ParagraphStyle standard;
    return style.alignment != standard.alignment ||
           style.firstLineHeadIndent != standard.firstLineHeadIndent ||
           style.headIndent != standard.headIndent ||
           style.lineHeightMultiple != standard.lineHeightMultiple ||
           style.lineSpacing != standard.lineSpacing || style.paragraphSpacing != standard.paragraphSpacing ||
           style.paragraphSpacingBefore != standard.paragraphSpacingBefore ||
           style.tailIndent != standard.tailIndent;
}

// The desktop's icon name for files of the type, found by its preferred extension.
QString iconNameForType(const QString& type)
{
    const QString extension = UniformTypeRegistry::shared().preferredExtension(type);
    const QMimeType mime =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + extension, QMimeDatabase::MatchExtension);
    return mime.isValid() ? mime.iconName() : QString();
}

} // namespace

PlistDictionary OVDocumentExportAccessoryViewController::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(kRecentTypeKey, kRtfType);
    defaults.insert(kSimplifiedStyleKey, true);
    return defaults;
}

OVDocumentExportAccessoryViewController::OVDocumentExportAccessoryViewController(SavePanel& panel,
                                                                                 OVDocument& document)
    : m_document(&document), m_documentAttributes(attributesPresentInDocument(document))
{
    auto view = std::make_unique<QWidget>();
    auto* layout = new QHBoxLayout(view.get());
    m_iconView = new QLabel;
    m_iconView->setFixedSize(48, 48);
    layout->addWidget(m_iconView);
    auto* column = new QVBoxLayout;
    m_simplifyCheckbox = new QCheckBox(QStringLiteral("Use simplified style"));
    m_simplifyCheckbox->setChecked(UserDefaults::shared().boolForKey(kSimplifiedStyleKey));
    QObject::connect(m_simplifyCheckbox, &QCheckBox::toggled, [this](bool on) {
        UserDefaults::shared().setBool(on, kSimplifiedStyleKey);
        updateSavePanelCompatibilityDetails();
        updatePreviewContent();
    });
    auto* row = new QHBoxLayout;
    row->addWidget(m_simplifyCheckbox);
    row->addStretch(1);
    auto* previewButton = new QPushButton(QStringLiteral("Preview"));
    previewButton->setObjectName(QStringLiteral("documentPreviewButton"));
    QObject::connect(previewButton, &QPushButton::clicked, [this] { documentPreviewButtonPressed(); });
    row->addWidget(previewButton);
    auto* helpButton = new QPushButton(QStringLiteral("Help"));
    helpButton->setObjectName(QStringLiteral("helpButton"));
    QObject::connect(helpButton, &QPushButton::clicked, [] { helpButtonPressed(); });
    row->addWidget(helpButton);
    column->addLayout(row);
    m_infoTextField = new QLabel;
    m_infoTextField->setWordWrap(true);
    m_infoTextField->setObjectName(QStringLiteral("infoTextField"));
    column->addWidget(m_infoTextField);
    layout->addLayout(column, 1);

    // The type of the last export comes first; one no longer offered leaves the first type.
    const QString recent = recentlyUsedFileTypeUTI();
    if (recent.isEmpty() || !panel.setSelectedFileType(recent)) {
        if (!panel.fileTypes().empty())
            panel.setSelectedFileType(panel.fileTypes().front().identifier);
    }
    SavePanel* target = &panel;
    panel.setTypeChangeHandler(
        [this, target](const QString&) { fileTypeChanged(target->selectedFileType()); });
    // The preview goes with the panel.
    QObject::connect(view.get(), &QObject::destroyed, [this] { m_preview.reset(); });
    m_view = view.get();
    panel.setAccessoryView(std::move(view));
    fileTypeChanged(panel.selectedFileType());
}

OVDocumentExportAccessoryViewController::~OVDocumentExportAccessoryViewController() = default;

void OVDocumentExportAccessoryViewController::documentPreviewButtonPressed()
{
    if (m_preview && !m_preview->isWindowVisible())
        m_preview.reset();
    if (m_preview) {
        m_preview.reset();
        return;
    }
    m_preview = OVDocumentExportPreviewWindowController::windowController();
    updatePreviewContent();
    // Over the export panel it belongs to, where no other window of the program hides it.
    m_preview->showWindow(m_view ? m_view->window() : nullptr);
}

void OVDocumentExportAccessoryViewController::helpButtonPressed()
{
    HVHelp::openLocalHelp(kHelpAnchor);
}

void OVDocumentExportAccessoryViewController::updatePreviewContent()
{
    if (!m_preview)
        return;
    const OVDocumentContentController* content = m_document->contentController();
    if (!content)
        return;
    const bool simplified = UserDefaults::shared().boolForKey(kSimplifiedStyleKey);
    std::unique_ptr<MutableAttributedString> text =
        simplified ? content->exportableStyleSimplifiedStorage() : content->exportableTextStorage();
    if (!text)
        return;
    if (!simplified)
        NSMutableAttributedStringOVBookmarkAdditions::removeAllBookmarks(*text);
    Color background = simplified ? content->styleSimplifiedBackgroundColor()
                                  : content->backgroundColor().value_or(NSColorHVAdditions::RGBWhiteColor());
    const char* operation = "-[OVDocumentExportAccessoryViewController updatePreviewContent]";
    QString documentType = OVDocumentExport::documentTypeForWriting(m_fileTypeUTI);
    // Word 97 is our Word XML document converted by LibreOffice: the preview shows what LibreOffice
    // is given, without two conversions on every change of the switch.
    if (documentType == QStringLiteral("NSDocFormat") && OVDocumentExport::canWriteDocumentType(documentType))
        documentType = NSOfficeOpenXMLTextDocumentType;
    if (OVDocumentExport::canWriteDocumentType(documentType)) {
        DocumentAttributes attributes{{NSDocumentTypeDocumentAttribute, documentType}};
        Error error;
        std::optional<QByteArray> data;
        if (documentType == NSRTFDTextDocumentType)
            data = Rtfd::data(*text, attributes);
        else
            data =
                OVDocumentExport::data(documentType, *text, attributes, quint64(TextEncoding::UTF8), &error);
        if (!data) {
            qWarning("%s error: %s", operation, qUtf8Printable(error.localizedDescription()));
        } else {
            MutableAttributedString back;
            bool read = false;
            if (documentType == NSRTFDTextDocumentType)
                read = Rtfd::readData(*data, back, nullptr, &error);
            else if (documentType == NSRTFTextDocumentType)
                read = RtfReader::read(*data, back, nullptr, &error);
            else if (documentType == NSHTMLTextDocumentType)
                read = HtmlReader::read(*data, back, nullptr, &error);
            else if (documentType == NSOfficeOpenXMLTextDocumentType)
                read = Docx::read(*data, back, nullptr, &error);
            else if (documentType == NSOpenDocumentTextDocumentType)
                read = Odt::read(*data, back, nullptr, &error);
            else if (documentType == NSWebArchiveTextDocumentType)
                read = WebArchive::read(*data, back, nullptr, &error);
            else {
                PlainText::read(*data, back, nullptr, {}, TextEncoding::UTF8);
                read = true;
            }
            if (read) {
                *text = std::move(back);
            } else {
                qWarning("%s readError: %s", operation, qUtf8Printable(error.localizedDescription()));
                text = simplified ? content->exportableStyleSimplifiedStorage()
                                  : content->exportableTextStorage();
            }
        }
    }
    if (!(attributesSupportedForType(m_fileTypeUTI) & BackgroundColor))
        background = NSColorHVAdditions::RGBWhiteColor();
    m_preview->setContent(*text, background);
}

QString OVDocumentExportAccessoryViewController::recentlyUsedFileTypeUTI()
{
    return UserDefaults::shared().stringForKey(kRecentTypeKey);
}

void OVDocumentExportAccessoryViewController::setRecentlyUsedFileTypeUTI(const QString& type)
{
    if (type.isEmpty())
        UserDefaults::shared().removeObjectForKey(kRecentTypeKey);
    else
        UserDefaults::shared().setObject(type, kRecentTypeKey);
}

void OVDocumentExportAccessoryViewController::fileTypeChanged(const QString& type)
{
    if (type.isEmpty())
        return;
    m_fileTypeUTI = type;
    setRecentlyUsedFileTypeUTI(type);
    updateSavePanelCompatibilityDetails();
    updatePreviewContent();
}

void OVDocumentExportAccessoryViewController::updateSavePanelCompatibilityDetails()
{
    if (m_fileTypeUTI.isEmpty())
        return;
    if (m_iconView) {
        const QIcon icon = QIcon::fromTheme(iconNameForType(m_fileTypeUTI));
        m_iconView->setPixmap(icon.pixmap(m_iconView->size()));
    }
    if (m_infoTextField)
        m_infoTextField->setText(infoString());
}

QString OVDocumentExportAccessoryViewController::infoString() const
{
    return infoStringForTypeAttributes(m_documentAttributes, attributesSupportedForType(m_fileTypeUTI),
                                       UserDefaults::shared().boolForKey(kSimplifiedStyleKey), m_fileTypeUTI);
}

unsigned OVDocumentExportAccessoryViewController::attributesSupportedForType(const QString& type)
{
    static const QHash<QString, unsigned> kSupported{
        {kPlainTextType, 1},
        {kRtfType, 79},
        {QStringLiteral("com.apple.rtfd"), 111},
        {QStringLiteral("org.oasis-open.opendocument.text"), 75},
        {QStringLiteral("public.html"), 71},
        {QStringLiteral("com.apple.webarchive"), 103},
        {QStringLiteral("org.openxmlformats.wordprocessingml.document"), 67},
        {QStringLiteral("com.microsoft.word.openxml.document"), 67},
        {QStringLiteral("com.microsoft.word.doc"), 75},
    };
    const auto it = kSupported.constFind(type);
    if (it != kSupported.constEnd())
        return *it;
    // The program's own package holds all a script has.
    if (UniformTypeRegistry::shared().conformsTo(type, OVDocumentUTI))
        return 0xFFu;
    qWarning("%s Unimplemented type %s",
             "-[OVDocumentExportAccessoryViewController attributesSupportedForType:]", qUtf8Printable(type));
    return 0;
}

unsigned OVDocumentExportAccessoryViewController::attributesPresentInDocument(OVDocument& document)
{
    const OVDocumentContentController* content = document.contentController();
    const std::unique_ptr<MutableAttributedString> text =
        content ? content->exportableTextStorage() : nullptr;
    return attributesPresent(text ? *text : AttributedString(),
                             content ? content->backgroundColor() : std::nullopt, document.metadataInfo(),
                             document.unusedMetadataInfo(), document.extendedMetadataInfo());
}

unsigned OVDocumentExportAccessoryViewController::attributesPresent(
    const AttributedString& text, const std::optional<Color>& background, const QVariantMap& metadataInfo,
    const DocumentAttributes& unusedMetadataInfo, const QVariantMap& extendedMetadataInfo)
{
    unsigned present = 0;
    if (text.length() > 0) {
        present |= Text | TextStyles;
        text.enumerateAttributes(
            Range{0, text.length()}, 0, [&](const AttributeDictionary& attributes, const Range&, bool&) {
                if (attributes.contains(kLigatureAttributeName) || attributes.contains(kKernAttributeName) ||
                    attributes.contains(kSuperscriptAttributeName) ||
                    attributes.contains(kBaselineOffsetAttributeName))
                    present |= SpaceFormatting;
                if (const AttributeValue* style = attributes.find(kParagraphStyleAttributeName))
                    if (style->paragraphStyle() && differsInSpacing(*style->paragraphStyle()))
                        present |= SpaceFormatting;
                if (const AttributeValue* value = attributes.find(kAttachmentAttributeName)) {
                    if (const auto attachment = value->attachment()) {
                        present |= Images;
                        if (NSTextAttachmentOVBookmarkAdditions::isBookmark(*attachment))
                            present |= Bookmarks;
                    }
                }
            });
    }
    const Color white = Color::rgb(1, 1, 1);
    if (background && (background->red != white.red || background->green != white.green ||
                       background->blue != white.blue || background->alpha != white.alpha))
        present |= BackgroundColor;
    if (hasValue(metadataInfo) || hasValue(unusedMetadataInfo))
        present |= DocumentMetadata;
    if (hasValue(extendedMetadataInfo))
        present |= PrompterSpecificMetadata;
    return present;
}

int OVDocumentExportAccessoryViewController::numberOfAttributesInDocumentAttributes(unsigned attributes)
{
    return std::popcount(attributes & 0xFFu);
}

QString OVDocumentExportAccessoryViewController::infoStringForTypeAttributes(unsigned present,
                                                                             unsigned supported,
                                                                             bool simplifiedStyle,
                                                                             const QString& type)
{
    unsigned left = present;
    if (simplifiedStyle)
        left &= ~unsigned(BackgroundColor | SpaceFormatting | Bookmarks | Images);
    left &= ~supported;
    if (left == 0)
        return QStringLiteral("No compatibility issues.");
    const QString separator = QStringLiteral(", ");
    const QString space = QStringLiteral(" ");
    QStringList names;
    for (const Name& name : kNames)
        if (left & name.bit)
            names << QString::fromLatin1(name.text);
    QString list;
    if (names.size() == 2)
        list = names[0] + space + QStringLiteral("or") + space + names[1];
    else if (names.size() > 2)
        list = names.mid(0, names.size() - 1).join(separator) + separator + QStringLiteral("or") + space +
               names.back();
    else
        list = names.front();
    QString report = QStringLiteral("The selected file format cannot save ") + list + QStringLiteral(".");
    if (type != kRtfType && type != kPlainTextType) {
        const int lostByRtf =
            numberOfAttributesInDocumentAttributes(present & ~attributesSupportedForType(kRtfType));
        const int lostHere = numberOfAttributesInDocumentAttributes(present & ~supported);
        if (lostByRtf < lostHere)
            report += space + QStringLiteral("Consider using Rich Text Format (rtf) instead.");
    }
    return report;
}
