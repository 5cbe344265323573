#include "settings/OVSharedPreferencesAccess.h"

#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfReader.h"
#include "platform/text/RtfWriter.h"

#include <QDebug>

#include <cmath>

namespace {

const char* const kRebuildOperation =
    "+[OVSharedPreferencesAccess _defaultStyleAttributesWithDocumentAttributes:]";
const char* const kStyleDataOperation =
    "+[OVSharedPreferencesAccess _styleDataFromAttributedString:documentAttributes:]";
const char* const kSetStyleDataOperation = "+[OVSharedPreferencesAccess setDefaultStyleData:]";
const QString kStyleSampleText = QStringLiteral("Indeed");

// The caches of the process, with the observers that keep them honest: a style or pattern
// setting changed by any route (an import of settings, say) reaches them too.
struct SharedState {
    std::optional<AttributeDictionary> styleAttributes;
    bool styleAttributesValid = false;
    std::optional<AttributeDictionary> styleWithDocumentAttributes;
    bool styleWithDocumentAttributesValid = false;
    std::optional<OVSharedPreferencesAccess::MarkedTextColor> markedTextColor;
    bool markedTextColorFilled = false;
    // Set while this class writes the style, which it announces itself.
    bool storingStyle = false;
};

void observeSettings(SharedState& state);

SharedState& sharedState()
{
    static SharedState state;
    static const bool observing = [] {
        observeSettings(state);
        return true;
    }();
    Q_UNUSED(observing);
    return state;
}

Color RGBWhiteColor()
{
    return Color::rgb(1, 1, 1, 1);
}

Color RGBBlackColor()
{
    return Color::rgb(0, 0, 0, 1);
}

// Rounds half away from zero at the given number of decimals.
double roundedTo(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

Color calibratedRGB(const Color& color)
{
    return Color::rgb(color.red, color.green, color.blue, color.alpha);
}

QString describe(const Error& error)
{
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"")
        .arg(error.domain(), QString::number(error.code()), error.localizedFailureReason());
}

// A document attribute as a text attribute value, for the combined style dictionary.
AttributeValue attributeValueFromDocumentAttribute(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<Color>())
        return value.value<Color>();
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::Int:
    case QMetaType::LongLong:
        return qint64(value.toLongLong());
    case QMetaType::Bool:
        return value.toBool();
    default:
        return {};
    }
}

QVariant documentAttributeFromAttributeValue(const AttributeValue& value)
{
    if (const Color* color = value.color())
        return QVariant::fromValue(*color);
    if (const std::optional<double> number = value.number())
        return *number;
    if (!value.string().isEmpty())
        return value.string();
    return {};
}

bool readStyle(const QByteArray& data, MutableAttributedString& text, DocumentAttributes& documentAttributes,
               Error* error)
{
    return RtfReader::read(data, text, &documentAttributes, error);
}

std::optional<AttributeDictionary> rebuildStyle(bool withDocumentAttributes)
{
    const QByteArray data = UserDefaults::shared().dataForKey(kDefaultDocumentStyleKey);
    AttributeDictionary attributes;
    if (data.isEmpty()) {
        qWarning("%s attributedStringData is nil. Did you forget to set a requiredAttribute in "
                 "OVGeneralPreferencesViewController +initialDefaultsDictionary?",
                 kRebuildOperation);
    } else {
        MutableAttributedString text;
        DocumentAttributes documentAttributes;
        Error error;
        if (!readStyle(data, text, documentAttributes, &error)) {
            qWarning("%s defaultStyleAttributes error = %s", kRebuildOperation, qPrintable(describe(error)));
        } else if (text.length() > 0) {
            attributes = text.attributesAtIndex(0);
            if (withDocumentAttributes) {
                for (auto it = documentAttributes.constBegin(); it != documentAttributes.constEnd(); ++it)
                    attributes.insert(it.key(), attributeValueFromDocumentAttribute(it.value()));
            }
        }
    }
    // Without any attribute there is no style, and the fallbacks below would invent one.
    if (attributes.isEmpty())
        return std::nullopt;
    if (!attributes.contains(kForegroundColorAttributeName))
        attributes.insert(kForegroundColorAttributeName, RGBBlackColor());
    if (withDocumentAttributes && !attributes.contains(NSBackgroundColorDocumentAttribute))
        attributes.insert(NSBackgroundColorDocumentAttribute, RGBWhiteColor());
    return attributes;
}

std::optional<AttributeDictionary> cachedStyle(std::optional<AttributeDictionary>& cache, bool& valid,
                                               bool withDocumentAttributes)
{
    if (cache && valid)
        return cache;
    cache = rebuildStyle(withDocumentAttributes);
    valid = true;
    return cache;
}

std::optional<Color> storedMarkedTextColor()
{
    const QByteArray data = UserDefaults::shared().dataForKey(kMarkedTextHighlightColorDataKey);
    if (data.isEmpty())
        return std::nullopt;
    const std::optional<ArchiveValue> root =
        KeyedUnarchiver::unarchivedRootObject(data, {QStringLiteral("NSColor")}, nullptr);
    if (!root || !root->isColor())
        return std::nullopt;
    const ArchivedColor archived = root->color();
    return archived.isRGB() ? Color::rgb(archived.red, archived.green, archived.blue, archived.alpha)
                            : Color::gray(archived.white, archived.alpha);
}

std::optional<OVSharedPreferencesAccess::MarkedTextColor>
refinedMarkedColor(const std::optional<Color>& color)
{
    if (!color)
        return std::nullopt;
    const bool patterned = UserDefaults::shared().boolForKey(kMarkedTextUseHighlightPatternKey);
    return OVSharedPreferencesAccess::MarkedTextColor{
        *color, patterned ? OVSharedPreferencesAccess::kMarkedTextStandardPattern : 0};
}

void observeSettings(SharedState& state)
{
    UserDefaults& defaults = UserDefaults::shared();
    defaults.addObserver(kDefaultDocumentStyleKey, [&state](const QString&) {
        if (state.storingStyle)
            return;
        OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
        NotificationCenter::shared().postNotification(OVPreferencesGeneralDidChangeDefaultStyleNotification);
    });
    defaults.addObserver(kMarkedTextUseHighlightPatternKey, [&state](const QString&) {
        if (!state.markedTextColorFilled)
            return;
        state.markedTextColor = refinedMarkedColor(storedMarkedTextColor());
        NotificationCenter::shared().postNotification(
            OVPreferencesGeneralMarkedTextColorDidChangeNotification);
    });
}

} // namespace

std::optional<AttributeDictionary> OVSharedPreferencesAccess::defaultStyleAttributes()
{
    SharedState& state = sharedState();
    return cachedStyle(state.styleAttributes, state.styleAttributesValid, false);
}

std::optional<AttributeDictionary> OVSharedPreferencesAccess::defaultStyleAttributesWithDocumentAttributes()
{
    SharedState& state = sharedState();
    return cachedStyle(state.styleWithDocumentAttributes, state.styleWithDocumentAttributesValid, true);
}

void OVSharedPreferencesAccess::triggerDefaultStyleUpdate()
{
    SharedState& state = sharedState();
    state.styleAttributesValid = false;
    state.styleWithDocumentAttributesValid = false;
}

QStringList OVSharedPreferencesAccess::requiredDefaultStyleAttributes()
{
    return {kFontAttributeName, kForegroundColorAttributeName, kParagraphStyleAttributeName};
}

QStringList OVSharedPreferencesAccess::requiredDefaultStyleDocumentAttributes()
{
    return {NSBackgroundColorDocumentAttribute};
}

bool OVSharedPreferencesAccess::isDefaultStyleAttributeDictionaryValid(const AttributeDictionary& attributes)
{
    for (const QString& name : requiredDefaultStyleAttributes()) {
        if (!attributes.contains(name))
            return false;
    }
    return !attributes.contains(kAttachmentAttributeName);
}

AttributeValue OVSharedPreferencesAccess::_normalizedDefaultStyleValue(const QString& attributeName,
                                                                       const AttributeValue& value)
{
    if (attributeName == kForegroundColorAttributeName ||
        attributeName == NSBackgroundColorDocumentAttribute) {
        const Color* color = value.color();
        if (!color)
            return value;
        const Color rgb = calibratedRGB(*color);
        if (attributeName == kForegroundColorAttributeName && rgb.red == 1 && rgb.green == 1 && rgb.blue == 1)
            return RGBWhiteColor();
        if (attributeName == NSBackgroundColorDocumentAttribute && rgb.red == 0 && rgb.green == 0 &&
            rgb.blue == 0)
            return RGBBlackColor();
        return rgb;
    }
    if (attributeName == kFontAttributeName) {
        const Font* font = value.font();
        if (!font)
            return value;
        const double tenths = roundedTo(font->pointSize, 1);
        const double hundredths = roundedTo(font->pointSize, 2);
        return tenths != hundredths ? AttributeValue(font->withPointSize(tenths)) : value;
    }
    if (attributeName == kParagraphStyleAttributeName) {
        const ParagraphStyle* style = value.paragraphStyle();
        if (!style)
            return value;
        ParagraphStyle kept;
        kept.lineHeightMultiple = roundedTo(style->lineHeightMultiple, 1);
        kept.alignment = style->alignment;
        kept.baseWritingDirection = style->baseWritingDirection;
        return kept;
    }
    return value;
}

std::optional<QByteArray>
OVSharedPreferencesAccess::styleDataFromAttributedString(const AttributedString* attributedString,
                                                         const std::optional<Color>& documentBackgroundColor)
{
    if (!attributedString || !documentBackgroundColor)
        return std::nullopt;
    const DocumentAttributes documentAttributes = {
        {NSDocumentTypeDocumentAttribute, NSRTFTextDocumentType},
        {NSBackgroundColorDocumentAttribute, QVariant::fromValue(*documentBackgroundColor)}};
    return _styleDataFromAttributedString(attributedString, &documentAttributes);
}

std::optional<QByteArray>
OVSharedPreferencesAccess::_styleDataFromAttributedString(const AttributedString* attributedString,
                                                          const DocumentAttributes* documentAttributes)
{
    if (!attributedString || !documentAttributes || attributedString->length() == 0)
        return std::nullopt;
    AttributeDictionary attributes = attributedString->attributesAtIndex(0);
    if (!isDefaultStyleAttributeDictionaryValid(attributes))
        return std::nullopt;
    for (const QString& name : requiredDefaultStyleDocumentAttributes()) {
        if (!documentAttributes->contains(name))
            return std::nullopt;
    }
    const QStringList required = requiredDefaultStyleAttributes();
    for (const QString& name : attributes.names()) {
        if (!required.contains(name))
            attributes.remove(name);
    }
    DocumentAttributes styleDocumentAttributes = *documentAttributes;
    if (!styleDocumentAttributes.contains(NSDocumentTypeDocumentAttribute))
        styleDocumentAttributes.insert(NSDocumentTypeDocumentAttribute, NSRTFTextDocumentType);
    const AttributedString sample(kStyleSampleText, attributes);
    const QByteArray data = RtfWriter::write(sample, styleDocumentAttributes);
    if (data.isEmpty()) {
        qWarning("%s dataFromRange error = %s", kStyleDataOperation, "no data written");
        return std::nullopt;
    }
    return data;
}

void OVSharedPreferencesAccess::setDefaultStyleData(const std::optional<QByteArray>& data)
{
    if (!data)
        return;
    MutableAttributedString decoded;
    DocumentAttributes decodedDocumentAttributes;
    Error error;
    if (!readStyle(*data, decoded, decodedDocumentAttributes, &error)) {
        qWarning("%s error = %s", kSetStyleDataOperation, qPrintable(describe(error)));
        return;
    }

    const AttributeDictionary decodedAttributes =
        decoded.length() > 0 ? decoded.attributesAtIndex(0) : AttributeDictionary();
    const QStringList styleNames = requiredDefaultStyleAttributes();
    AttributeDictionary styleAttributes;
    DocumentAttributes documentAttributes;
    for (const QString& name : styleNames + requiredDefaultStyleDocumentAttributes()) {
        AttributeValue value = decodedAttributes.value(name);
        if (value.isNull())
            value = attributeValueFromDocumentAttribute(decodedDocumentAttributes.value(name));
        if (value.isNull() && name == kForegroundColorAttributeName)
            value = RGBBlackColor();
        if (value.isNull() && name == NSBackgroundColorDocumentAttribute)
            value = RGBWhiteColor();
        if (value.isNull()) {
            if (const std::optional<AttributeDictionary> current =
                    defaultStyleAttributesWithDocumentAttributes())
                value = current->value(name);
        }
        if (value.isNull()) {
            qWarning("%s error: could not find attribute '%s' anywhere", kSetStyleDataOperation,
                     qPrintable(name));
            continue;
        }
        value = _normalizedDefaultStyleValue(name, value);
        if (styleNames.contains(name))
            styleAttributes.insert(name, value);
        else
            documentAttributes.insert(name, documentAttributeFromAttributeValue(value));
    }
    documentAttributes.insert(NSDocumentTypeDocumentAttribute, NSRTFTextDocumentType);

    const QByteArray result =
        RtfWriter::write(AttributedString(kStyleSampleText, styleAttributes), documentAttributes);
    if (result.isEmpty()) {
        qWarning("%s resultData error = %s", kSetStyleDataOperation, "no data written");
        return;
    }
    UserDefaults& defaults = UserDefaults::shared();
    if (result == defaults.dataForKey(kDefaultDocumentStyleKey))
        return;
    SharedState& state = sharedState();
    state.storingStyle = true;
    defaults.setObject(result, kDefaultDocumentStyleKey);
    state.storingStyle = false;
    triggerDefaultStyleUpdate();
    NotificationCenter::shared().postNotification(OVPreferencesGeneralDidChangeDefaultStyleNotification);
}

std::optional<OVSharedPreferencesAccess::MarkedTextColor> OVSharedPreferencesAccess::markedTextColor()
{
    SharedState& state = sharedState();
    if (!state.markedTextColorFilled) {
        state.markedTextColor = refinedMarkedColor(storedMarkedTextColor());
        state.markedTextColorFilled = true;
    }
    return state.markedTextColor;
}

void OVSharedPreferencesAccess::setMarkedTextColor(const std::optional<Color>& color)
{
    UserDefaults& defaults = UserDefaults::shared();
    std::optional<Color> stored = color;
    if (!stored) {
        defaults.removeObjectForKey(kMarkedTextHighlightColorDataKey);
        stored = storedMarkedTextColor();
    }
    if (stored) {
        const ArchivedColor archived = ArchivedColor::rgb(stored->red, stored->green, stored->blue,
                                                          stored->alpha, ArchivedColor::Space::CalibratedRGB);
        defaults.setObject(KeyedArchiver::archivedData(archived), kMarkedTextHighlightColorDataKey);
    } else {
        defaults.removeObjectForKey(kMarkedTextHighlightColorDataKey);
    }
    SharedState& state = sharedState();
    state.markedTextColor = refinedMarkedColor(stored);
    state.markedTextColorFilled = true;
    NotificationCenter::shared().postNotification(OVPreferencesGeneralMarkedTextColorDidChangeNotification);
}

std::optional<Color> OVSharedPreferencesAccess::plainMarkedTextColor()
{
    return storedMarkedTextColor();
}

quint64 OVSharedPreferencesAccess::markedTextOptions()
{
    const PlistValue value = UserDefaults::shared().objectForKey(kMarkedTextOptionsKey);
    if (!value.isNumber())
        return 0;
    if (value.isUnsignedInteger())
        return value.unsignedValue();
    // Options are bits; a negative or fractional number holds none that mean anything.
    const qint64 options = UserDefaults::shared().integerForKey(kMarkedTextOptionsKey);
    return options > 0 ? quint64(options) : 0;
}

void OVSharedPreferencesAccess::setMarkedTextOptions(quint64 options)
{
    UserDefaults::shared().setObject(PlistValue::unsignedInteger(options), kMarkedTextOptionsKey);
}

quint64 OVSharedPreferencesAccess::promptModeToolbarState()
{
    const PlistValue value = UserDefaults::shared().objectForKey(kPromptModeToolbarStateKey);
    if (!value.isNumber())
        return 0;
    const double state = value.toDouble();
    return state == 1 || state == 2 ? quint64(state) : 0;
}

void OVSharedPreferencesAccess::setPromptModeToolbarState(quint64 state)
{
    UserDefaults::shared().setInteger(state == 1 || state == 2 ? qint64(state) : 0,
                                      kPromptModeToolbarStateKey);
}

double OVSharedPreferencesAccess::speedIncrement()
{
    return UserDefaults::shared().doubleForKey(kSpeedIncrementKey);
}

void OVSharedPreferencesAccess::setSpeedIncrement(double increment)
{
    UserDefaults::shared().setDouble(increment, kSpeedIncrementKey);
}
