#include "services/OVAnalyticsHelper.h"

#include "output/OVPreviewWindowController.h"
#include "output/OVScreen.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVGPUInfo.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/DocumentAttributes.h"
#include "settings/OVSharedPreferencesAccess.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

const QString kOperator = QStringLiteral("promptMode.screens.operator.");
const QString kTalent = QStringLiteral("promptMode.screens.talent.");
const QString kName = QStringLiteral("name");
const QString kResolution = QStringLiteral("resolution");
const QString kRefreshRate = QStringLiteral("refreshRate");
const QString kNativeExtension = QStringLiteral("ovdocument");

HVAnalytics& store()
{
    return HVAppServices::shared().analytics();
}

bool isRecorded(const QString& keyPath)
{
    const QVariant value = store().objectForKeyPath(keyPath);
    return value.isValid() && !value.toString().isEmpty();
}

QString counter(const QString& keyPath)
{
    return QString::number(store().integerForKeyPath(keyPath));
}

QString refreshRateText(const QString& keyPath)
{
    const qint64 rate = store().integerForKeyPath(keyPath);
    return rate < 1 ? QString() : QString::number(rate);
}

QString hours(double seconds)
{
    return QString::asprintf("%.1f", seconds / 3600.0);
}

// The per-extension counts under keyPath, most used first, the native format left out.
QString mostCommonForeignExtension(const QString& keyPath)
{
    const QVariantMap counts = store().objectForKeyPath(keyPath).toMap();
    QString best;
    qint64 bestCount = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.key() == kNativeExtension)
            continue;
        const qint64 count = it.value().toLongLong();
        if (count > bestCount) {
            best = it.key();
            bestCount = count;
        }
    }
    return best;
}

qint64 total(const QString& keyPath)
{
    return qint64(store().unsignedIntegerSumForDictionaryObjectForKeyPath(keyPath));
}

QString colorText(const AttributeValue* value)
{
    const Color* color = value ? value->color() : nullptr;
    if (!color)
        return {};
    return QString::asprintf("%f, %f, %f", color->red, color->green, color->blue);
}

std::function<OVAnalyticsHelper::Gpu()>& gpuProvider()
{
    static std::function<OVAnalyticsHelper::Gpu()> provider;
    return provider;
}

} // namespace

OVAnalyticsHelper::Gpu OVAnalyticsHelper::mainGPU()
{
    if (gpuProvider())
        return gpuProvider()();
    const HVGPUInfo info = HVGPUInfo::infoWithScreen(nullptr);
    Gpu gpu;
    if (info.renderer != QLatin1String("unknown"))
        gpu.model = info.renderer;
    gpu.memoryBytes = info.videoMemoryMB * 1024 * 1024;
    return gpu;
}

void OVAnalyticsHelper::setMainGPUProvider(std::function<Gpu()> provider)
{
    gpuProvider() = std::move(provider);
}

void OVAnalyticsHelper::updateOperatorScreenAnalytics()
{
    _updateAnalyticsForScreen(OVScreen::operatorScreen(), 0);
}

void OVAnalyticsHelper::updateTalentScreenAnalytics()
{
    _updateAnalyticsForScreen(OVScreen::talentScreen(),
                              OVScreen::configuration() == OVScreen::kSystemVideoMirroring ? 2 : 0);
}

bool OVAnalyticsHelper::_updateAnalyticsForScreen(const std::optional<Screen>& screen, int forceSetScreen)
{
    if (!screen)
        return false;
    const std::optional<Screen> operatorScreen = OVScreen::operatorScreen();
    const std::optional<Screen> talentScreen = OVScreen::talentScreen();
    QString prefix;
    if (forceSetScreen < 2 && operatorScreen && screen->displayID() == operatorScreen->displayID())
        prefix = kOperator;
    else if ((forceSetScreen == 0 || forceSetScreen == 2) && talentScreen &&
             screen->displayID() == talentScreen->displayID())
        prefix = kTalent;
    else
        return false;
    HVAnalytics& statistics = store();
    statistics.setObjectForKeyPath(screen->name(), prefix + kName);
    statistics.setObjectForKeyPath(
        QString::asprintf("%ldx%ld", long(screen->frame().size.width), long(screen->frame().size.height)),
        prefix + kResolution);
    statistics.setObjectForKeyPath(qint64(std::lround(screen->refreshRate())), prefix + kRefreshRate);
    return true;
}

QString OVAnalyticsHelper::truncatedToCodePoints(const QString& text, int count)
{
    qsizetype end = 0;
    for (int taken = 0; taken < count && end < text.size(); ++taken)
        end += (text.at(end).isHighSurrogate() && end + 1 < text.size() && text.at(end + 1).isLowSurrogate())
                   ? 2
                   : 1;
    return text.left(end);
}

QVariantMap OVAnalyticsHelper::profileDictionaryForKey(const QString& key, const QString& displayKey,
                                                       const QVariant& value)
{
    return profileDictionaryForKey(key, displayKey, value, value);
}

QVariantMap OVAnalyticsHelper::profileDictionaryForKey(const QString& key, const QString& displayKey,
                                                       const QVariant& value, const QVariant& displayValue)
{
    if (key.isEmpty() || displayKey.isEmpty())
        return {};
    QVariant stored = value.isValid() ? value : QVariant(QString());
    if (stored.typeId() == QMetaType::QString)
        stored = truncatedToCodePoints(stored.toString(), kMaxProfileValueLength);
    return {{QStringLiteral("key"), key},
            {QStringLiteral("displayKey"), displayKey},
            {QStringLiteral("value"), stored},
            {QStringLiteral("displayValue"), displayValue.isValid() ? displayValue : QVariant(QString())}};
}

QVariantList OVAnalyticsHelper::presentableAnalyticsItems()
{
    HVAnalytics& statistics = store();
    const QStringList screenPaths = {kOperator + kName, kOperator + kResolution, kOperator + kRefreshRate,
                                     kTalent + kName,   kTalent + kResolution,   kTalent + kRefreshRate};
    if (std::none_of(screenPaths.begin(), screenPaths.end(), isRecorded)) {
        updateOperatorScreenAnalytics();
        if (OVScreen::configuration() == OVScreen::kSystemVideoMirroring || OVScreen::screens().size() >= 2)
            _updateAnalyticsForScreen(OVScreen::talentScreen(), 2);
    }
    const bool together = isRecorded(kTalent + kName) && isRecorded(kTalent + kResolution) &&
                          isRecorded(kTalent + kRefreshRate);
    statistics.setObjectForKeyPath(together, QStringLiteral("promptMode.screens.lastUpdatedTogether"));

    QVariantList items;
    items.reserve(64);
    const auto add = [&items](const char* key, const char* labelKey, const char* label,
                              const QVariant& value) {
        const QVariantMap item = profileDictionaryForKey(
            QString::fromLatin1(key),
            HVLocalizedString::localizedString(QString::fromLatin1(labelKey), QString::fromLatin1(label),
                                               QStringLiteral("UsageStatLabels")),
            value);
        if (!item.isEmpty())
            items.append(item);
    };
    const auto recorded = [&statistics](const QString& keyPath) {
        return statistics.objectForKeyPath(keyPath).toString();
    };
    add("operatorScreenName", "operator-screen-name", "Operator Screen Name", recorded(kOperator + kName));
    add("operatorScreenResolution", "operator-screen-resolution", "Operator Screen Resolution",
        recorded(kOperator + kResolution));
    add("operatorScreenHz", "operator-screen-refresh-rate", "Operator Screen Refresh Rate",
        refreshRateText(kOperator + kRefreshRate));
    add("talentScreenName", "talent-screen-name", "Talent Screen Name", recorded(kTalent + kName));
    add("talentScreenResolution", "talent-screen-resolution", "Talent Screen Resolution",
        recorded(kTalent + kResolution));
    add("talentScreenHz", "talent-screen-refresh-rate", "Talent Screen Refresh Rate",
        refreshRateText(kTalent + kRefreshRate));
    add("screensLastUpdatedTogether", "screens-updated-together", "Screens Updated Together",
        QString::asprintf("%ld", long(together ? 1 : 0)));
    add("singleScreenSessions", "single-screen-sessions", "Single-Screen Sessions",
        counter(QStringLiteral("promptMode.sessions.singleScreen")));
    add("dualScreenSessions", "dual-screen-sessions", "Dual-Screen Sessions",
        counter(QStringLiteral("promptMode.sessions.dualScreen")));
    add("dualScreenFlippedSessions", "dual-screen-flipped-sessions", "Dual-Screen Flipped Sessions",
        counter(QStringLiteral("promptMode.sessions.dualScreenFlipped")));
    add("systemVideoMirroredSessions", "system-video-mirrored-sessions", "System Video Mirrored Sessions",
        counter(QStringLiteral("promptMode.sessions.systemVideoMirrored")));

    const Gpu gpu = mainGPU();
    if (!gpu.model.isEmpty() && (gpu.coreCount != 0 || gpu.memoryBytes != 0)) {
        add("gpuModel", "gpu-model", "GPU Model", gpu.model);
        if (gpu.coreCount != 0) {
            add("gpuCoreCount", "gpu-core-count", "GPU Core Count", QString::number(gpu.coreCount));
        } else {
            const double gigabytes = double(gpu.memoryBytes) / (1024.0 * 1024.0 * 1024.0);
            add("gpuMemoryGB", "gpu-core-memory-gb", "GPU Memory GB",
                QLocale(QLocale::English, QLocale::UnitedStates).toString(gigabytes, 'f', 1));
        }
    }

    add("promptModeHours", "prompt-mode-hours", "Prompt Mode Hours",
        hours(statistics.doubleForKeyPath(QStringLiteral("promptMode.time"))));
    add("pixelsScrolled", "pixels-scrolled", "Pixels Scrolled",
        QString::asprintf(
            "%lu", static_cast<unsigned long>(std::max<qint64>(
                       0, statistics.integerForKeyPath(QStringLiteral("promptMode.pixelsScrolled"))))));
    add("modeChanges", "mode-changes", "Mode Changes", counter(QStringLiteral("modeChanges")));
    add("statusChanges", "status-changes", "Status Changes",
        counter(QStringLiteral("promptMode.statusChanges")));
    add("bookmarksAdded", "bookmarks-added", "Bookmarks Added",
        counter(QStringLiteral("bookmarks.bookmarksAdded")));
    add("namedBookmarksAdded", "named-bookmarks-added", "Named Bookmarks Added",
        counter(QStringLiteral("bookmarks.namedBookmarksAdded")));
    add("bookmarksEdited", "bookmarks-edited", "Bookmarks Edited",
        counter(QStringLiteral("bookmarks.edits")));
    add("bookmarkDirectJumps", "bookmark-direct-jumps", "Bookmark Direct Jumps",
        counter(QStringLiteral("bookmarks.directJumpActions")));
    add("bookmarkPreviousNextJumps", "bookmark-previous-and-next-jumps", "Bookmark Previous/Next Jumps",
        counter(QStringLiteral("bookmarks.previousNextActions")));
    add("demoDocumentsOpened", "demo-documents-opened", "Demo Documents Opened",
        counter(QStringLiteral("documents.openedDemoDocuments")));
    add("documentPropertyEdits", "document-property-edits", "Document Property Edits",
        counter(QStringLiteral("documents.propertyEdits")));
    add("documentsPrinted", "documents-printed", "Documents Printed",
        counter(QStringLiteral("documents.printedDocuments")));
    add("documentsOpened", "documents-opened", "Documents Opened",
        QString::number(total(QStringLiteral("documents.opened"))));
    add("documentsSaved", "documents-saved", "Documents Saved",
        QString::number(total(QStringLiteral("documents.saved"))));
    add("mostCommonImportFormat", "most-common-import-format", "Most Common Import Format",
        mostCommonForeignExtension(QStringLiteral("documents.opened")));
    add("mostCommonExportFormat", "most-common-export-format", "Most Common Export Format",
        mostCommonForeignExtension(QStringLiteral("documents.saved")));

    const std::optional<AttributeDictionary> style =
        OVSharedPreferencesAccess::defaultStyleAttributesWithDocumentAttributes();
    QString fontText;
    QString foreground;
    QString background;
    if (style) {
        if (const AttributeValue* value = style->find(kFontAttributeName); value && value->font()) {
            const Font& font = *value->font();
            fontText = QStringLiteral("%1 %2")
                           .arg(font.familyName.isEmpty() ? font.fontName : font.familyName)
                           .arg(static_cast<unsigned long>(std::max(0.0, font.pointSize)));
        }
        foreground = colorText(style->find(kForegroundColorAttributeName));
        background = colorText(style->find(NSBackgroundColorDocumentAttribute));
    }
    add("defaultFont", "default-font", "Default Font", fontText);
    add("defaultFontColor", "default-font-color", "Default Font Color", foreground);
    add("defaultBackgroundColor", "default-background-color", "Default Background Color", background);
    const OVPreviewWindowController* preview = OVPreviewWindowController::openPreviewWindowController();
    const bool previewVisible = preview && preview->window() && preview->window()->isVisible();
    add("preview", "uses-preview-window", "Uses Preview Window",
        previewVisible ? QStringLiteral("1") : QStringLiteral("0"));
    UserDefaults& defaults = UserDefaults::shared();
    add("timer", "uses-timer", "Uses Timer", defaults.stringForKey(QStringLiteral("useTimeBar")));
    add("focusArrow", "uses-focus-arrow", "Uses Focus Arrow",
        defaults.stringForKey(QStringLiteral("useFocusArrow")));
    add("horizontalMargin", "horizontal-margin", "Horizontal Margin",
        defaults.stringForKey(QStringLiteral("horizontalMarginPercentage")));
    add("verticalMargin", "vertical-margin", "Vertical Margin",
        defaults.stringForKey(QStringLiteral("verticalMarginPercentage")));
    add("coverTheDesktop", "uses-cover-the-desktop", "Uses Cover The Desktop",
        defaults.stringForKey(QStringLiteral("alwaysCoverTheDesktop")));
    add("scrollbar", "scroll-bar", "Uses Scroll Bar",
        defaults.stringForKey(QStringLiteral("showScrollBarInPromptMode")));
    add("toolbar", "toolbar", "Uses Toolbar",
        defaults.stringForKey(QStringLiteral("promptModeToolbarState")));
    add("helpAnchorOpens", "help-anchor-opens", "Help Anchor Opens",
        counter(QStringLiteral("help.anchorOpens")));
    add("helpBookOpens", "help-book-opens", "Help Book Opens", counter(QStringLiteral("help.bookOpens")));
    add("helpReleaseNoteOpens", "help-release-note-opens", "Help Release Note Opens",
        counter(QStringLiteral("help.releaseNotesOpens")));
    add("helpVisitSupportSiteCount", "help-visit-support-site-count", "Help Visit Support Site Count",
        counter(QStringLiteral("help.visitSupportSite")));
    add("helpContactSupportCount", "help-contact-support-count", "Help Contact Support Count",
        counter(QStringLiteral("help.contactSupport")));
    const double active = statistics.appActiveTime();
    add("appActiveHours", "active-hours", "Active Hours",
        active <= 20 ? QStringLiteral("0.0") : hours(active));
    add("launches", "launches", "Launches", QString::number(statistics.appLaunchCount()));
    add("exceptions", "exceptions", "Exceptions", counter(QStringLiteral("app.exceptionCount")));
    add("crashes", "crashes", "Crashes", QString::number(statistics.appCrashCount()));
    add("profilerVersion", "profiler-version", "Profiler Version", QStringLiteral("2"));
    add("UUID", "meta-uuid", "Meta UUID", statistics.metaUUID());
    add("initialDate", "meta-initial-date", "Meta Initial Date",
        QLocale(QStringLiteral("en_US_POSIX"))
            .toString(statistics.metaInitialDate(), QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    return items;
}
