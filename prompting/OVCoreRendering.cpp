// Graphics facts, hardware profiles and the rendering choices made from them.
#include "prompting/OVCore.h"
#include "prompting/OVCorePrivate.h"

#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Window.h"
#include "prompting/OVCoreController.h"
#include "prompting/OVCoreSettings.h"
#include "prompting/OVCoreTalentOutput.h"
#include "prompting/OVRenderingChoices.h"
#include "settings/OVConstants.h"

#include <QUrl>

void OVCore::_updateGPUInfoIfNecessary()
{
    if (!d->m_gpuInfoStale && d->m_operatorGPUInfo && d->m_talentGPUInfo)
        return;
    const std::vector<Screen> screens = Screen::screens();
    const Screen* operatorScreen = screens.empty() ? nullptr : &screens.front();
    const Screen* talentScreen = screens.size() > 1 ? &screens[1] : operatorScreen;
    d->m_operatorGPUInfo = HVGPUInfo::infoWithScreen(operatorScreen);
    d->m_talentGPUInfo = HVGPUInfo::infoWithScreen(talentScreen);
    d->m_gpuInfoStale = false;
}

void OVCore::_forceUpdateGPUInfo()
{
    d->m_gpuInfoStale = true;
}

void OVCore::_adjustDiscreteGPU()
{
    // No Linux process can ask for the discrete GPU for itself (PRIME offloading is chosen by the
    // environment it is started in), so only the facts are renewed.
    _forceUpdateGPUInfo();
}

const HVGPUInfo* OVCore::operatorGPUInfo() const
{
    return d->m_operatorGPUInfo ? &*d->m_operatorGPUInfo : nullptr;
}

const HVGPUInfo* OVCore::talentGPUInfo() const
{
    return d->m_talentGPUInfo ? &*d->m_talentGPUInfo : nullptr;
}

void OVCore::setDownloadedHardwareProfilesPath(const QString& path)
{
    d->m_downloadedHardwareProfilesPath = path;
    d->m_hasDownloadedHardwareProfilesPath = true;
    d->m_hardwareProfileStale = true;
}

std::vector<OVHardwareProfile> OVCore::_hardCodedHardwareProfiles()
{
    return OVHardwareProfiles::profilesWithDownloadedFile(
        OVConstants::downloadedHardwareProfilesURL().toLocalFile());
}

std::optional<OVHardwareProfile> OVCore::_hardwareProfile()
{
    if (!OVCoreSettings::boolean(QStringLiteral("enableHardwareProfiles"), true))
        return std::nullopt;
    if (!d->m_hardwareProfileStale && d->m_hardwareProfile)
        return d->m_hardwareProfile;
    const std::vector<OVHardwareProfile> profiles =
        d->m_hasDownloadedHardwareProfilesPath
            ? OVHardwareProfiles::profilesWithDownloadedFile(d->m_downloadedHardwareProfilesPath)
            : _hardCodedHardwareProfiles();
    _updateGPUInfoIfNecessary();
    OVHardwareFacts facts;
    facts.hardwareName = HVGPUInfo::hardwareModelName();
    facts.gpuNames = d->m_operatorGPUInfo->names();
    if (d->m_talentGPUInfo)
        facts.gpuNames += d->m_talentGPUInfo->names();
    facts.videoMemoryMB = d->m_operatorGPUInfo->videoMemoryMB;
    d->m_hardwareProfile = OVHardwareProfiles::firstMatch(profiles, facts);
    d->m_hardwareProfileStale = false;
    return d->m_hardwareProfile;
}

int OVCore::_profileWindowLocationOption()
{
    const std::optional<OVHardwareProfile> profile = _hardwareProfile();
    return profile ? int(profile->videoMemoryState) : -1;
}

int OVCore::_profileBackingOption()
{
    const std::optional<OVHardwareProfile> profile = _hardwareProfile();
    return profile ? int(profile->textureUploadsState) : -1;
}

int OVCore::_profileCaptureDisplayState()
{
    const std::optional<OVHardwareProfile> profile = _hardwareProfile();
    return profile ? int(profile->canCaptureDisplays) : -1;
}

void OVCore::_updateHardwareProfile()
{
    // A running prompt keeps the rendering it started with; the last step into Edit mode applies it.
    if (isModeEdit() && !isModeChanging())
        d->m_hardwareProfileStale = true;
    else
        d->m_deferredHardwareProfileUpdate = true;
}

void OVCore::_optimizeContent()
{
    const qint64 layerTag = OVCoreSettings::integer(QStringLiteral("coreAnimationOptionTag"), -1);
    const qint64 locationTag = OVCoreSettings::integer(QStringLiteral("quartzGLOptionTag"), -1);
    if (layerTag == -1 && locationTag == -1)
        return;
    ScrollView* operatorScroll = d->m_scrollView;
    ScrollView* talentScroll = d->m_talentScrollView;
    Window* controllerWindow = d->m_controllerWindow;
    Window* talentWindow =
        d->m_talentWindowController ? d->m_talentWindowController->talentWindow() : nullptr;

    if (isModeEdit()) {
        if (operatorScroll)
            operatorScroll->setWantsLayer(d->m_editModeOperatorWantsLayer);
        if (talentScroll)
            talentScroll->setWantsLayer(d->m_editModeTalentWantsLayer);
        for (Window* window : {talentWindow, controllerWindow}) {
            if (window && window->preferredBackingLocation() != 0)
                window->setPreferredBackingLocation(0);
        }
        return;
    }

    OVRenderingChoices::Facts facts;
    facts.talentWindowInUse = isTalentWindowInUse();
    const PromptModeWindowConfiguration& configuration = d->m_modeChange.windowConfiguration();
    facts.eitherScreenMirrored =
        configuration.operatorScreenIsMirrored || configuration.talentScreenIsMirrored;
    const std::vector<Screen> screens = Screen::screens();
    facts.operatorScreenIsRetina = !screens.empty() && screens.front().backingScaleFactor() > 1.0;
    facts.usesMaximumFrameRate = d->m_usesMaximumFrameRate;
    facts.flipped = OVCoreSettings::boolean(QStringLiteral("horizontallyFlipped"), false) ||
                    OVCoreSettings::boolean(QStringLiteral("verticallyFlipped"), false);
    int option = int(locationTag);
    if (option == -1)
        option = _profileWindowLocationOption();
    if (option == -1) {
        _updateGPUInfoIfNecessary();
        facts.numberOfGPUs = HVGPUInfo::numberOfGPUs();
        // Kept as the heuristic was written for the machine whose model names it; no Linux model
        // name starts so, so the GPUs always count as different here.
        if (HVGPUInfo::hardwareModelName().startsWith(QStringLiteral("MacPro")))
            facts.gpusDiffer = d->m_operatorGPUInfo->openGLVendor != d->m_talentGPUInfo->openGLVendor ||
                               d->m_operatorGPUInfo->openGLVersion != d->m_talentGPUInfo->openGLVersion;
    }
    const OVRenderingChoices::BackingLocations locations =
        OVRenderingChoices::backingLocations(option, facts);
    if (talentWindow && talentWindow->preferredBackingLocation() != locations.talentWindow)
        talentWindow->setPreferredBackingLocation(locations.talentWindow);

    d->m_editModeOperatorWantsLayer = operatorScroll && operatorScroll->wantsLayer();
    d->m_editModeTalentWantsLayer = talentScroll && talentScroll->wantsLayer();
    const int layerOption = locations.forcesLayersOff ? 0 : int(layerTag);
    const int layers =
        OVRenderingChoices::layerBacking(layerOption, layerOption == -1 ? _profileBackingOption() : -1,
                                         locations.layerHeuristicAllowed, facts);
    if (operatorScroll && operatorScroll->wantsLayer() != OVRenderingChoices::operatorWantsLayer(layers))
        operatorScroll->setWantsLayer(OVRenderingChoices::operatorWantsLayer(layers));
    if (talentScroll && talentScroll->wantsLayer() != OVRenderingChoices::talentWantsLayer(layers))
        talentScroll->setWantsLayer(OVRenderingChoices::talentWantsLayer(layers));
}
