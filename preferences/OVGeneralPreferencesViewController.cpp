#include "preferences/OVGeneralPreferencesViewController.h"

#include "output/OVTalentWindowController.h"
#include "platform/appkit/ColorPanel.h"
#include "platform/foundation/ArchivedColor.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVDropView.h"
#include "platform/hvkit/HVFontManager.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/AttributedString.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/RtfReader.h"
#include "platform/text/TextStorage.h"
#include "platform/textformats/PlainTextCodec.h"
#include "preferences/OVBookmarkMenuConfiguration.h"
#include "preferences/OVDefaultStyleTextView.h"
#include "preferences/OVMarkedTextColorWell.h"
#include "settings/OVConstants.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "window/OVQuickZoom.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>
#include <cstring>

namespace {

constexpr double kDefaultStyleFontSize = 100;
constexpr double kDefaultStyleLineHeightMultiple = 1.2;

// The platform's indigo; Linux has no system colour of that name.
ArchivedColor markedTextHighlightColor()
{
    return ArchivedColor::rgb(88 / 255.0, 86 / 255.0, 214 / 255.0, 1, ArchivedColor::Space::DeviceRGB);
}

std::optional<QByteArray> defaultDocumentStyleData()
{
    ParagraphStyle paragraphStyle;
    paragraphStyle.lineHeightMultiple = kDefaultStyleLineHeightMultiple;
    const AttributeDictionary attributes = {
        {kFontAttributeName, OVGeneralPreferencesViewController::defaultStyleFont(QFontDatabase::families())},
        {kForegroundColorAttributeName, Color::rgb(1, 1, 1, 1)},
        {kParagraphStyleAttributeName, paragraphStyle}};
    const AttributedString sample(QStringLiteral("Indeed"), attributes);
    return OVSharedPreferencesAccess::styleDataFromAttributedString(&sample, Color::rgb(0, 0, 0, 1));
}

} // namespace

Font OVGeneralPreferencesViewController::defaultStyleFont(const QStringList& availableFamilies)
{
    // Family and PostScript name, the latter being what the style's RTF font table names.
    const std::pair<QString, QString> preferred[] = {
        {QStringLiteral("Helvetica Neue"), QStringLiteral("HelveticaNeue")},
        {QStringLiteral("Helvetica"), QStringLiteral("Helvetica")},
        {QStringLiteral("Verdana"), QStringLiteral("Verdana")},
    };
    Font font;
    font.pointSize = kDefaultStyleFontSize;
    for (const auto& [family, postScriptName] : preferred) {
        if (availableFamilies.contains(family, Qt::CaseInsensitive)) {
            font.familyName = family;
            font.fontName = postScriptName;
            return font;
        }
    }
    // The user font and the message font are one and the same on Linux: the desktop's font.
    font.familyName = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    font.fontName = font.familyName;
    return font;
}

PlistDictionary OVGeneralPreferencesViewController::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    if (const std::optional<QByteArray> style = defaultDocumentStyleData())
        defaults.insert(kDefaultDocumentStyleKey, *style);
    defaults.insert(QStringLiteral("defaultEncodingValue"), PlistValue::unsignedInteger(0));
    defaults.insert(QStringLiteral("editingAlwaysNormalizeParagraphIndents"), true);
    defaults.insert(QStringLiteral("applyDefaultStyleToAllImportedDocuments"), true);
    defaults.insert(QStringLiteral("nameNewBookmarks"), false);
    defaults.insert(QStringLiteral("enableTalentScreenTracksEdits"), true);
    defaults.insert(kMarkedTextHighlightColorDataKey,
                    KeyedArchiver::archivedData(markedTextHighlightColor()));
    defaults.insert(kMarkedTextUseHighlightPatternKey, true);
    defaults.insert(kMarkedTextOptionsKey, PlistValue::unsignedInteger(4));
    defaults.insert(QStringLiteral("markedTextUseFlash"), true);
    defaults.insert(QStringLiteral("quickZoomScale"), 0.0);
    defaults.insert(QStringLiteral("useNumberedBookmarks"), true);
    defaults.insert(QStringLiteral("bookmarksShowContext"), true);
    defaults.insert(QStringLiteral("attemptToFixBookmarkShiftBug"), true);
    defaults.insert(QStringLiteral("useDocumentAutosave"), true);
    defaults.insert(QStringLiteral("adjustDocumentsInDarkMode"), false);
    defaults.insert(QStringLiteral("focusArrowShowsOnRight"), false);
    defaults.insert(QStringLiteral("quickZoomUseSpellCheckEnhancement"), false);
    defaults.insert(QStringLiteral("preventUnderlineColors"), true);
    return defaults;
}

// The pane.

namespace {

const QString kDefaultEncodingValueKey = QStringLiteral("defaultEncodingValue");
const QString kQuickZoomScaleKey = QStringLiteral("quickZoomScale");
const QString kPreventUnderlineColorsKey = QStringLiteral("preventUnderlineColors");
// Larger RTF is no style sample: it is refused before it is read.
constexpr qsizetype kLargestDroppedRtf = qsizetype(8) << 20;
// The platform's "file too large" read error.
constexpr qint64 kRtfTooLargeCode = 263;
// What Qt's colour drag carries between programs: four 16-bit channels.
const QString kColorMimeType = QStringLiteral("application/x-color");
const QStringList kRtfMimeTypes = {QStringLiteral("text/rtf"), QStringLiteral("application/rtf")};

// The font button's "Aa" symbol, drawn so that it takes the button's text colour.
QIcon textformatIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = painter.font();
    font.setPixelSize(22);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QGuiApplication::palette().color(QPalette::ButtonText));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("Aa"));
    painter.end();
    return QIcon(pixmap);
}

// The alignment items' pictures: four lines of text set the item's way, in the button text's
// colour so they follow a dark palette as a template image does.
QIcon alignmentIcon(TextAlignment alignment)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(
        QPen(QGuiApplication::palette().color(QPalette::ButtonText), 2.5, Qt::SolidLine, Qt::RoundCap));
    const int widths[] = {26, 18, 24, 14};
    for (int line = 0; line < 4; ++line) {
        const int y = 6 + line * 7;
        const bool last = line == 3;
        int width = widths[line];
        if (alignment == TextAlignment::Justified)
            width = last ? widths[line] : 26;
        int left = 3;
        if (alignment == TextAlignment::Center)
            left = 3 + (26 - width) / 2;
        else if (alignment == TextAlignment::Right)
            left = 29 - width;
        painter.drawLine(left, y, left + width, y);
    }
    painter.end();
    return QIcon(pixmap);
}

// The family as the user knows it: RTF carries PostScript names ("DejaVuSerif-Bold"), which are
// the family's name without its spaces, then the face.
QString displayName(const Font& font)
{
    QString name = font.familyName.isEmpty() ? font.fontName : font.familyName;
    if (name.isEmpty() || QFontDatabase::hasFamily(name))
        return name;
    const QString packed = name.section(QLatin1Char('-'), 0, 0);
    for (const QString& family : QFontDatabase::families()) {
        QString candidate = family;
        candidate.remove(QLatin1Char(' '));
        if (candidate.compare(packed, Qt::CaseInsensitive) == 0)
            return family;
    }
    return name;
}

std::function<void(bool)>& underlineColorsInterface()
{
    static std::function<void(bool)> update;
    return update;
}

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromUtf8(english));
}

// Checked: Qt's own colour value, or exactly four 16-bit channels from another program.
std::optional<QColor> droppedColor(const QMimeData& data)
{
    const QVariant value = data.colorData();
    if (value.typeId() == QMetaType::QColor) {
        const QColor color = value.value<QColor>();
        if (color.isValid())
            return color;
        return std::nullopt;
    }
    const QByteArray bytes = data.data(kColorMimeType);
    if (bytes.size() != 8)
        return std::nullopt;
    const auto channel = [&bytes](int index) {
        quint16 v = 0;
        std::memcpy(&v, bytes.constData() + 2 * index, 2);
        return int(v);
    };
    return QColor::fromRgba64(quint16(channel(0)), quint16(channel(1)), quint16(channel(2)),
                              quint16(channel(3)));
}

std::optional<Color> colorValue(const QVariant& value)
{
    if (value.typeId() == qMetaTypeId<Color>())
        return value.value<Color>();
    return std::nullopt;
}

} // namespace

void OVGeneralPreferencesViewController::setUnderlineColorsInterface(std::function<void(bool)> update)
{
    underlineColorsInterface() = std::move(update);
}

double OVGeneralPreferencesViewController::roundedToTenths(double value)
{
    return std::round(value * 10.0) / 10.0;
}

QString OVGeneralPreferencesViewController::tenthsTitle(double value, const QLocale& locale)
{
    return locale.toString(roundedToTenths(value), 'f', 1);
}

QString OVGeneralPreferencesViewController::percentageTitle(double scale, const QLocale& locale)
{
    // A hair above the value, so that 0.29 × 100 = 28.999… still reads 29.
    const double percent = std::floor(scale * 100.0 + 1e-9);
    return locale.toString(qint64(percent)) + locale.percent();
}

QString OVGeneralPreferencesViewController::defaultStyleDescription(const Font& font, const QLocale& locale)
{
    QString text = localized("settings-general-label-font-tags", "<FONT_DISPLAY_NAME>, <FONT_SIZE>");
    const QString name = displayName(font);
    if (!name.isEmpty())
        text.replace(QStringLiteral("<FONT_DISPLAY_NAME>"), name);
    const double size = font.pointSize;
    const QString sizeText = roundedToTenths(size) == std::round(size)
                                 ? locale.toString(qint64(std::round(size)))
                                 : locale.toString(roundedToTenths(size), 'f', 1);
    text.replace(QStringLiteral("<FONT_SIZE>"), sizeText);
    return text;
}

OVGeneralPreferencesViewController::OVGeneralPreferencesViewController(
    QWidget* parent, HVSettingsController* settingsController)
    : HVSettingsViewController(parent, settingsController)
{
    buildInterface();
    __updateDefaultStyleTextView(true, true);
    NotificationCenter::shared().addObserver(
        OVPreferencesGeneralDidChangeDefaultStyleNotification, nullptr,
        [this](const Notification&) { styleDataDidUpdate(); }, this);
    _updateTextAlignmentButton();
    _updateLineSpacingButton();
    _updateQuickZoomButton();
    _updateEncodingButton();
    _updateMarkedTextControls();
    layOutAdvancedCheckBoxes();
}

OVGeneralPreferencesViewController::~OVGeneralPreferencesViewController()
{
    NotificationCenter::shared().removeObserver(this);
    defaultStyleTextView().setTextStyleChangeHandler({});
    HVFontManager::clearTargets();
}

OVDefaultStyleTextView& OVGeneralPreferencesViewController::defaultStyleTextView() const
{
    return m_sampleHost->textView();
}

void OVGeneralPreferencesViewController::buildInterface()
{
    UserDefaults& defaults = UserDefaults::shared();
    using namespace HVDefaultsBinding;

    // The sample, its caption and the drop target over it.
    auto* styleRow = new QHBoxLayout;
    auto* sampleColumn = new QVBoxLayout;
    m_sampleHost = new OVDefaultStyleSampleHost(this);
    m_sampleHost->setFixedHeight(150);
    m_sampleHost->setMinimumWidth(300);
    sampleColumn->addWidget(m_sampleHost, 1);
    m_descriptionLabel = new QLabel(this);
    m_descriptionLabel->setObjectName(QStringLiteral("defaultStyleDescriptionLabel"));
    m_descriptionLabel->setAlignment(Qt::AlignHCenter);
    sampleColumn->addWidget(m_descriptionLabel);
    styleRow->addLayout(sampleColumn, 1);
    m_captionLabel =
        new QLabel(localized("settings-general-title-default-style", "Default style"), m_sampleHost);
    m_captionLabel->setObjectName(QStringLiteral("defaultStyleLabel"));
    QFont small = m_captionLabel->font();
    small.setPointSizeF(std::max(7.0, small.pointSizeF() - 2));
    m_captionLabel->setFont(small);
    m_captionLabel->setAutoFillBackground(true);
    QPalette captionPalette = m_captionLabel->palette();
    captionPalette.setColor(QPalette::Window, QColor(0, 0, 0, 191));
    captionPalette.setColor(QPalette::WindowText, Qt::white);
    m_captionLabel->setPalette(captionPalette);
    m_captionLabel->setContentsMargins(3, 1, 3, 1);
    m_captionLabel->adjustSize();
    m_captionLabel->move(8, 6);
    defaultStyleTextView().setTextStyleChangeHandler([this] { textStyleDidChange(); });
    m_dropView = HVDropView::dropViewAttachedToView(m_sampleHost);
    m_dropView->registerForDraggedTypes(
        {kRtfMimeTypes[0], kRtfMimeTypes[1], HVFontManager::kFontMimeType, kColorMimeType});
    m_dropView->setDelegate([this](HVDropView& view, const QMimeData& data) {
        return dropOccurredInDropView(view, data, QGuiApplication::keyboardModifiers());
    });
    m_captionLabel->raise();
    // Above the drop target, so it can be dragged and clicked.
    m_sampleHost->verticalScrollBar()->raise();

    auto* styleControls = new QFormLayout;
    auto* fontAndColor = new QHBoxLayout;
    m_fontButton = new QPushButton(textformatIcon(), localized("settings-general-font", "Font…"), this);
    m_fontButton->setObjectName(QStringLiteral("fontButton"));
    m_fontButton->setAccessibleDescription(QStringLiteral("font"));
    m_colorButton = new QPushButton(localized("settings-general-color", "Color…"), this);
    m_colorButton->setObjectName(QStringLiteral("colorButton"));
    fontAndColor->addWidget(m_fontButton);
    fontAndColor->addWidget(m_colorButton);
    styleControls->addRow(fontAndColor);
    m_alignmentButton = new QComboBox(this);
    m_alignmentButton->setObjectName(QStringLiteral("textAlignmentButton"));
    const std::pair<const char*, TextAlignment> alignments[] = {
        {"Left", TextAlignment::Left},
        {"Center", TextAlignment::Center},
        {"Justified", TextAlignment::Justified},
        {"Right", TextAlignment::Right},
    };
    for (const auto& [title, alignment] : alignments)
        m_alignmentButton->addItem(alignmentIcon(alignment), localized(title, title), int(alignment));
    styleControls->addRow(localized("settings-general-alignment", "Alignment:"), m_alignmentButton);
    m_lineSpacingButton = new QComboBox(this);
    m_lineSpacingButton->setObjectName(QStringLiteral("lineSpacingButton"));
    // Figures of one width, so the values line up in the menu; Qt 6.4 cannot ask a proportional
    // font for tabular figures, so a fixed-pitch face at the pop-up's size stands in.
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setPointSizeF(m_lineSpacingButton->font().pointSizeF());
    m_lineSpacingButton->setFont(digits);
    for (int tenth = 10; tenth <= 20; ++tenth)
        m_lineSpacingButton->addItem(tenthsTitle(tenth / 10.0), tenth / 10.0);
    styleControls->addRow(localized("settings-general-line-spacing", "Line spacing:"), m_lineSpacingButton);
    styleRow->addLayout(styleControls);
    contentLayout()->addLayout(styleRow);

    auto* form = new QFormLayout;
    m_quickZoomButton = new QComboBox(this);
    m_quickZoomButton->setObjectName(QStringLiteral("quickZoomScalePopUpButton"));
    m_quickZoomButton->setFont(digits);
    m_quickZoomButton->addItem(localized("quick-zoom-scale-automatic", "Automatic"), 0.0);
    const QList<double>& scales = OVConstants::quickZoomScaleValues();
    if (!scales.isEmpty())
        m_quickZoomButton->insertSeparator(1);
    for (double scale : scales)
        m_quickZoomButton->addItem(percentageTitle(scale), scale);
    form->addRow(localized("settings-general-quick-zoom", "Quick zoom:"), m_quickZoomButton);
    m_encodingsButton = new QComboBox(this);
    m_encodingsButton->setObjectName(QStringLiteral("encodingsButton"));
    m_encodingsButton->addItem(localized("encoding-automatic", "Automatic"), 0u);
    m_encodingsButton->insertSeparator(1);
    for (const PlainTextCodec::NamedEncoding& named : PlainTextCodec::knownEncodings())
        m_encodingsButton->addItem(QString::fromLatin1(named.name), quint32(named.encoding));
    form->addRow(localized("settings-general-encoding", "Plain text encoding:"), m_encodingsButton);

    auto* markedRow = new QHBoxLayout;
    m_markedTextColorWell = new OVMarkedTextColorWell(this);
    m_markedTextColorWell->setObjectName(QStringLiteral("markedTextColorWell"));
    m_markedTextColorWell->setFixedSize(44, 24);
    m_markedTextColorWell->setAction([this](const QColor&) { markedTextColorChanged(); });
    QObject::connect(m_markedTextColorWell, &QToolButton::clicked, this,
                     [this] { m_markedTextColorWell->activate(); });
    markedRow->addWidget(m_markedTextColorWell);
    const std::pair<const char*, quint64> markedOptions[] = {
        {"Clear marks when the text changes", 1},
        {"Clear marks when the style changes", 2},
        {"Double-click removes a mark", 4},
    };
    auto* markedOptionsColumn = new QGridLayout;
    for (const auto& [title, tag] : markedOptions) {
        auto* box = new QCheckBox(localized(title, title), this);
        box->setProperty("tag", tag);
        QObject::connect(box, &QCheckBox::clicked, this,
                         [this, tag = tag](bool on) { markedTextOptionsUIChanged(tag, on); });
        markedOptionsColumn->addWidget(box, int(m_markedTextOptionBoxes.size()) / 2,
                                       int(m_markedTextOptionBoxes.size()) % 2);
        m_markedTextOptionBoxes.push_back(box);
    }
    m_clearOnTextChangeCheckbox = m_markedTextOptionBoxes.front();
    m_clearOnTextChangeCheckbox->setObjectName(QStringLiteral("markedTextClearOnTextChangeCheckbox"));
    auto* patternBox =
        new QCheckBox(localized("settings-general-marked-pattern", "Draw marks hatched"), this);
    patternBox->setObjectName(QStringLiteral("markedTextUseHighlightPattern"));
    bindCheckBox(patternBox, kMarkedTextUseHighlightPatternKey, defaults);
    markedOptionsColumn->addWidget(patternBox, 1, 1);
    markedRow->addLayout(markedOptionsColumn);
    form->addRow(localized("settings-general-marked-text", "Marked text:"), markedRow);
    contentLayout()->addLayout(form);

    // Switches bound to their keys; some tell running parts of the program as well.
    auto* switches = new QGridLayout;
    struct Switch {
        const char* key;
        const char* title;
        void (OVGeneralPreferencesViewController::*action)();
    };
    const Switch plainSwitches[] = {
        {"editingAlwaysNormalizeParagraphIndents", "Keep paragraph indents even",
         &OVGeneralPreferencesViewController::preventParagraphIndentsChanged},
        {"applyDefaultStyleToAllImportedDocuments", "Give imported documents the default style", nullptr},
        {"enableTalentScreenTracksEdits", "The talent display shows edits at once",
         &OVGeneralPreferencesViewController::secondDisplayTracksEditsChanged},
        {"nameNewBookmarks", "Name new bookmarks",
         &OVGeneralPreferencesViewController::nameNewBookmarksChanged},
        {"useNumberedBookmarks", "Number bookmarks", nullptr},
        {"markedTextUseFlash", "Flash the window when marking text", nullptr},
    };
    int row = 0;
    for (const Switch& item : plainSwitches) {
        auto* box = new QCheckBox(localized(item.key, item.title), this);
        box->setObjectName(QString::fromLatin1(item.key));
        bindCheckBox(box, QString::fromLatin1(item.key), defaults);
        if (item.action)
            QObject::connect(box, &QCheckBox::clicked, this,
                             [this, action = item.action] { (this->*action)(); });
        switches->addWidget(box, row / 2, row % 2);
        ++row;
    }
    contentLayout()->addLayout(switches);

    // No box for adjustDocumentsInDarkMode: the text view draws a script in its own colours in
    // every appearance, so a box would promise what nothing does. The key stays registered for the
    // settings files that hold it.
    const Switch advancedSwitches[] = {
        {"bookmarksShowContext", "Label unnamed bookmarks with the text that follows", nullptr},
        {"attemptToFixBookmarkShiftBug", "Repair bookmarks shifted by older versions", nullptr},
        {"focusArrowShowsOnRight", "Show the focus arrow on the right", nullptr},
        {"useDocumentAutosave", "Save documents automatically", nullptr},
        {"quickZoomUseSpellCheckEnhancement", "Draw spelling marks while zoomed (after a restart)", nullptr},
        {"preventUnderlineColors", "Prevent underline colours",
         &OVGeneralPreferencesViewController::preventUnderlineColorsChanged},
    };
    auto* advancedGrid = new QGridLayout;
    advancedLayout()->addLayout(advancedGrid);
    for (const Switch& item : advancedSwitches) {
        auto* box = new QCheckBox(localized(item.key, item.title), advancedView());
        box->setObjectName(QString::fromLatin1(item.key));
        bindCheckBox(box, QString::fromLatin1(item.key), defaults);
        if (item.action)
            QObject::connect(box, &QCheckBox::clicked, this,
                             [this, action = item.action] { (this->*action)(); });
        advancedGrid->addWidget(box, int(m_advancedCheckBoxes.size()) % 4,
                                int(m_advancedCheckBoxes.size()) / 4);
        m_advancedCheckBoxes.push_back(box);
    }

    QObject::connect(m_fontButton, &QPushButton::clicked, this,
                     [this] { activateFontPanelForDefaultStyleEditing(); });
    QObject::connect(m_colorButton, &QPushButton::clicked, this,
                     [this] { activateColorPanelForDefaultStyleEditing(); });
    QObject::connect(m_alignmentButton, &QComboBox::activated, this, [this] { textAlignmentChanged(); });
    QObject::connect(m_lineSpacingButton, &QComboBox::activated, this, [this] { lineSpacingChanged(); });
    QObject::connect(m_quickZoomButton, &QComboBox::activated, this,
                     [this] { quickZoomScalePopUpChanged(); });
    QObject::connect(m_encodingsButton, &QComboBox::activated, this, [this] { encodingSelectionChanged(); });
}

void OVGeneralPreferencesViewController::layOutAdvancedCheckBoxes()
{
    int widest = 0;
    for (QCheckBox* box : m_advancedCheckBoxes) {
        box->adjustSize();
        widest = std::max(widest, box->sizeHint().width());
    }
    // Equal columns, whatever the translation makes of each title.
    for (QCheckBox* box : m_advancedCheckBoxes)
        box->setMinimumWidth(widest);
}

void OVGeneralPreferencesViewController::post(const QString& name, const void* object)
{
    NotificationCenter::shared().postNotification(name, object);
}

// The sample and its controls.

void OVGeneralPreferencesViewController::__updateDefaultStyleTextView(bool updateText, bool updateLabel)
{
    const std::optional<AttributeDictionary> attributes = OVSharedPreferencesAccess::defaultStyleAttributes();
    OVDefaultStyleTextView& sample = defaultStyleTextView();
    if (updateText) {
        const AttributeDictionary style = attributes.value_or(AttributeDictionary{});
        const std::optional<AttributeDictionary> withDocument =
            OVSharedPreferencesAccess::defaultStyleAttributesWithDocumentAttributes();
        const QString preview = localized("settings-general-title-preview", "Preview");
        TextStorage& storage = sample.textStorage();
        storage.beginEditing();
        storage.replaceCharacters({0, storage.length()}, preview, style);
        storage.endEditing();
        const AttributeDictionary document = withDocument.value_or(AttributeDictionary{});
        const auto backgroundValue = document.value(NSBackgroundColorDocumentAttribute);
        const Color* background = backgroundValue.color();
        sample.setBackgroundColor(HVFontManager::qtColor(background ? *background : Color::rgb(0, 0, 0)));
        sample.sizeToFit();
        sample.display();
    }
    if (updateLabel && attributes) {
        if (const auto held = attributes->value(kFontAttributeName); const Font* font = held.font())
            m_descriptionLabel->setText(defaultStyleDescription(*font));
    }
}

void OVGeneralPreferencesViewController::styleDataDidUpdate()
{
    __updateDefaultStyleTextView(true, true);
    _updateTextAlignmentButton();
    _updateLineSpacingButton();
}

void OVGeneralPreferencesViewController::_updateTextAlignmentButton()
{
    const std::optional<AttributeDictionary> attributes = OVSharedPreferencesAccess::defaultStyleAttributes();
    int alignment = 0;
    if (attributes) {
        if (const auto held = attributes->value(kParagraphStyleAttributeName);
            const ParagraphStyle* style = held.paragraphStyle())
            alignment = int(style->alignment);
    }
    const int index = m_alignmentButton->findData(alignment);
    m_alignmentButton->setCurrentIndex(index >= 0 ? index : 0);
}

void OVGeneralPreferencesViewController::_updateLineSpacingButton()
{
    const std::optional<AttributeDictionary> attributes = OVSharedPreferencesAccess::defaultStyleAttributes();
    double multiple = 1.0;
    if (attributes) {
        if (const auto held = attributes->value(kParagraphStyleAttributeName);
            const ParagraphStyle* style = held.paragraphStyle())
            multiple = style->lineHeightMultiple;
    }
    if (!(multiple > 0) || !std::isfinite(multiple))
        multiple = 1.0;
    const double rounded = roundedToTenths(multiple);
    m_lineSpacingButton->setEditable(false);
    for (int index = 0; index < m_lineSpacingButton->count(); ++index) {
        if (std::abs(m_lineSpacingButton->itemData(index).toDouble() - rounded) < 1e-9) {
            m_lineSpacingButton->setCurrentIndex(index);
            return;
        }
    }
    // A value the list lacks shows as the title, with no item chosen.
    m_lineSpacingButton->setCurrentIndex(-1);
    m_lineSpacingButton->setPlaceholderText(tenthsTitle(rounded));
}

void OVGeneralPreferencesViewController::_updateQuickZoomButton()
{
    const double stored = UserDefaults::shared().doubleForKey(kQuickZoomScaleKey);
    int found = -1;
    for (int index = 0; index < m_quickZoomButton->count() && found < 0; ++index) {
        const QVariant value = m_quickZoomButton->itemData(index);
        if (value.isValid() && std::abs(value.toDouble() - stored) < 0.001)
            found = index;
    }
    m_quickZoomButton->setCurrentIndex(found);
}

void OVGeneralPreferencesViewController::_updateEncodingButton()
{
    const quint32 stored = quint32(UserDefaults::shared().integerForKey(kDefaultEncodingValueKey));
    m_encodingsButton->setCurrentIndex(m_encodingsButton->findData(stored));
}

void OVGeneralPreferencesViewController::_updateMarkedTextControls()
{
    if (const std::optional<Color> color = OVSharedPreferencesAccess::plainMarkedTextColor())
        m_markedTextColorWell->setColor(HVFontManager::qtColor(*color));
    const quint64 options = OVSharedPreferencesAccess::markedTextOptions();
    for (QCheckBox* box : m_markedTextOptionBoxes) {
        const QSignalBlocker blocker(box);
        box->setChecked((options & box->property("tag").toULongLong()) != 0);
    }
}

void OVGeneralPreferencesViewController::_updateUnderlineColorsUI()
{
    // Qt's font dialog has no underline-colour item to hide; the menus have theirs.
    if (underlineColorsInterface())
        underlineColorsInterface()(UserDefaults::shared().boolForKey(kPreventUnderlineColorsKey));
}

void OVGeneralPreferencesViewController::settingsDidShow()
{
    HVSettingsViewController::settingsDidShow();
    // The sample is the pane's first responder: the font and colour panels act on it, and its keys
    // scroll a style taller than the view.
    m_sampleHost->setFocus(Qt::OtherFocusReason);
    _updateMarkedTextControls();
}

// Actions.

void OVGeneralPreferencesViewController::textStyleDidChange()
{
    if (_isUpdatingDefaultStyleTextView)
        return;
    _isUpdatingDefaultStyleTextView = true;
    OVDefaultStyleTextView& sample = defaultStyleTextView();
    const AttributedString text(sample.textStorage());
    OVSharedPreferencesAccess::setDefaultStyleData(OVSharedPreferencesAccess::styleDataFromAttributedString(
        &text, HVFontManager::modelColor(sample.backgroundColor())));
    _isUpdatingDefaultStyleTextView = false;
}

void OVGeneralPreferencesViewController::applyParagraphChange(
    const std::function<void(ParagraphStyle&)>& change)
{
    TextStorage& storage = defaultStyleTextView().textStorage();
    if (storage.length() > 0) {
        const auto currentValue = storage.attribute(kParagraphStyleAttributeName, 0);
        const ParagraphStyle* current = currentValue.paragraphStyle();
        ParagraphStyle style = current ? *current : ParagraphStyle();
        change(style);
        storage.beginEditing();
        storage.addAttribute(kParagraphStyleAttributeName, style, {0, storage.length()});
        storage.endEditing();
        defaultStyleTextView().display();
    }
    textStyleDidChange();
}

void OVGeneralPreferencesViewController::textAlignmentChanged()
{
    const QVariant tag = m_alignmentButton->currentData();
    if (!tag.isValid())
        return;
    applyParagraphChange(
        [alignment = TextAlignment(tag.toInt())](ParagraphStyle& style) { style.alignment = alignment; });
}

void OVGeneralPreferencesViewController::lineSpacingChanged()
{
    // The item's value, not its title: a title reads "1,5" where the comma is the decimal sign.
    const QVariant value = m_lineSpacingButton->currentData();
    if (!value.isValid())
        return;
    const double multiple = roundedToTenths(value.toDouble());
    applyParagraphChange([multiple](ParagraphStyle& style) { style.lineHeightMultiple = multiple; });
}

void OVGeneralPreferencesViewController::activateFontPanelForDefaultStyleEditing()
{
    m_markedTextColorWell->deactivate();
    TextStorage& storage = defaultStyleTextView().textStorage();
    Font font;
    if (storage.length() > 0) {
        if (const auto held = storage.attribute(kFontAttributeName, 0); const Font* current = held.font())
            font = *current;
    }
    HVFontManager::orderFrontFontPanel(
        font, [this](const Font& chosen) { defaultStyleTextView().changeFont(chosen); });
}

void OVGeneralPreferencesViewController::activateColorPanelForDefaultStyleEditing()
{
    m_markedTextColorWell->deactivate();
    // With the focus, the sample is what the panel's choices go to.
    m_sampleHost->setFocus(Qt::OtherFocusReason);
    ColorPanel::shared().orderFront();
}

void OVGeneralPreferencesViewController::markedTextColorChanged()
{
    OVSharedPreferencesAccess::setMarkedTextColor(HVFontManager::modelColor(m_markedTextColorWell->color()));
}

void OVGeneralPreferencesViewController::markedTextOptionsUIChanged(quint64 tag, bool on)
{
    if (tag == 0)
        return;
    quint64 options = OVSharedPreferencesAccess::markedTextOptions();
    options = on ? (options | tag) : (options & ~tag);
    OVSharedPreferencesAccess::setMarkedTextOptions(options);
}

void OVGeneralPreferencesViewController::encodingSelectionChanged()
{
    const QVariant encoding = m_encodingsButton->currentData();
    if (encoding.isValid())
        UserDefaults::shared().setObject(PlistValue::unsignedInteger(encoding.toUInt()),
                                         kDefaultEncodingValueKey);
}

void OVGeneralPreferencesViewController::quickZoomScalePopUpChanged()
{
    const QVariant scale = m_quickZoomButton->currentData();
    if (!scale.isValid())
        return;
    UserDefaults::shared().setDouble(scale.toDouble(), kQuickZoomScaleKey);
    post(OVPreferencesGeneralQuickZoomScaleDidChangeNotification, this);
}

void OVGeneralPreferencesViewController::preventParagraphIndentsChanged()
{
    post(OVPreferencesGeneralDidChangeNormalizeParagraphIndentNotification, this);
}

void OVGeneralPreferencesViewController::preventUnderlineColorsChanged()
{
    _updateUnderlineColorsUI();
    post(OVPreferencesGeneralDidChangePreventUnderlineColorsNotification, this);
}

void OVGeneralPreferencesViewController::secondDisplayTracksEditsChanged()
{
    post(OVPreferencesGeneralDidChangeSecondDisplayTracksEditsNotification, this);
}

void OVGeneralPreferencesViewController::adjustDocumentsInDarkModeChanged()
{
    post(OVPreferencesGeneralAdjustDocumentsInDarkModeDidChangeNotification, this);
}

void OVGeneralPreferencesViewController::nameNewBookmarksChanged()
{
    OVBookmarkMenuConfiguration::updateBookmarksMenuBarForPreferences();
}

bool OVGeneralPreferencesViewController::dropOccurredInDropView(HVDropView& view, const QMimeData& data,
                                                                Qt::KeyboardModifiers modifiers)
{
    if (&view != m_dropView)
        return false;
    const QString type = view.availableType(data);
    std::optional<Font> font;
    std::optional<Color> textColor;
    std::optional<Color> backgroundColor;
    std::optional<ParagraphStyle> paragraphStyle;
    if (kRtfMimeTypes.contains(type)) {
        const QByteArray rtf = data.data(type);
        Error error;
        std::optional<RtfReader::Result> read;
        if (rtf.size() <= kLargestDroppedRtf)
            read = RtfReader::parse(rtf, nullptr, &error);
        else
            error = Error::cocoa(kRtfTooLargeCode, {},
                                 QStringLiteral("The dropped RTF is larger than a style sample can be."));
        if (!read) {
            qWarning().noquote()
                << QStringLiteral("%1 attributedString could not be constructed. error = %2")
                       .arg(QStringLiteral("OVGeneralPreferencesViewController::dropOccurredInDropView"),
                            error.localizedDescription());
            return false;
        }
        Range fontRange{0, 0};
        for (size_t index = 0; index < read->runs.size() && !font; ++index) {
            if (const auto held = read->runs[index].attributes.value(kFontAttributeName);
                const Font* runFont = held.font()) {
                font = *runFont;
                const qsizetype end =
                    index + 1 < read->runs.size() ? read->runs[index + 1].start : read->text.length();
                fontRange = {read->runs[index].start, end - read->runs[index].start};
            }
        }
        for (const RtfReader::Run& run : read->runs) {
            if (font && (run.start < fontRange.location ||
                         run.start >= fontRange.location + std::max<qsizetype>(fontRange.length, 1)))
                continue;
            if (const auto held = run.attributes.value(kForegroundColorAttributeName);
                const Color* color = held.color()) {
                textColor = *color;
                break;
            }
        }
        const QVariant background = read->documentAttributes.value(NSBackgroundColorDocumentAttribute);
        backgroundColor = colorValue(background);
        for (const RtfReader::Run& run : read->runs) {
            if (const auto held = run.attributes.value(kParagraphStyleAttributeName);
                const ParagraphStyle* style = held.paragraphStyle()) {
                ParagraphStyle fresh;
                fresh.lineHeightMultiple = style->lineHeightMultiple;
                fresh.alignment = style->alignment;
                paragraphStyle = fresh;
                break;
            }
        }
    } else if (type == HVFontManager::kFontMimeType) {
        font = HVFontManager::fontFromData(data.data(type));
        if (!font) {
            qWarning("OVGeneralPreferencesViewController::dropOccurredInDropView: the dropped font could not "
                     "be read");
            return false;
        }
    } else if (type == kColorMimeType) {
        const std::optional<QColor> color = droppedColor(data);
        if (!color) {
            qWarning("OVGeneralPreferencesViewController::dropOccurredInDropView: the dropped colour could "
                     "not be read");
            return false;
        }
        if (modifiers & Qt::AltModifier)
            backgroundColor = HVFontManager::modelColor(*color);
        else
            textColor = HVFontManager::modelColor(*color);
    } else {
        return false;
    }

    OVDefaultStyleTextView& sample = defaultStyleTextView();
    TextStorage& storage = sample.textStorage();
    bool applied = false;
    if ((font || textColor || paragraphStyle) && storage.length() > 0) {
        const Range all{0, storage.length()};
        storage.beginEditing();
        if (font)
            storage.addAttribute(kFontAttributeName, *font, all);
        if (textColor)
            storage.addAttribute(kForegroundColorAttributeName, *textColor, all);
        if (paragraphStyle)
            storage.addAttribute(kParagraphStyleAttributeName, *paragraphStyle, all);
        storage.endEditing();
        applied = true;
    }
    if (backgroundColor) {
        sample.setBackgroundColor(HVFontManager::qtColor(*backgroundColor));
        applied = true;
    }
    if (applied) {
        sample.sizeToFit();
        sample.display();
        textStyleDidChange();
    }
    return applied;
}

// Reset of all settings.

void OVGeneralPreferencesViewController::defaultsWillReset()
{
    m_markedTextColorWell->deactivate();
}

void OVGeneralPreferencesViewController::defaultsDidReset()
{
    OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
    const AttributedString text(defaultStyleTextView().textStorage());
    const std::optional<QByteArray> shown = OVSharedPreferencesAccess::styleDataFromAttributedString(
        &text, HVFontManager::modelColor(defaultStyleTextView().backgroundColor()));
    if (UserDefaults::shared().dataForKey(kDefaultDocumentStyleKey) != shown.value_or(QByteArray()))
        post(OVPreferencesGeneralDidChangeDefaultStyleNotification, nullptr);
    __updateDefaultStyleTextView(true, true);
    _updateTextAlignmentButton();
    _updateLineSpacingButton();
    _updateMarkedTextControls();
    _updateUnderlineColorsUI();
    // After a reset the stored colour is the registered one; after an import it is the file's,
    // which must survive.
    OVSharedPreferencesAccess::setMarkedTextColor(OVSharedPreferencesAccess::plainMarkedTextColor());
    _updateMarkedTextControls();
    _updateQuickZoomButton();
    _updateEncodingButton();
    post(OVPreferencesGeneralDidChangeNormalizeParagraphIndentNotification, this);
    post(OVPreferencesGeneralDidChangePreventUnderlineColorsNotification, this);
    post(OVPreferencesGeneralDidChangeSecondDisplayTracksEditsNotification, this);
    post(OVPreferencesGeneralQuickZoomScaleDidChangeNotification, this);
    post(OVPreferencesGeneralAdjustDocumentsInDarkModeDidChangeNotification, this);
}
