#pragma once

#include "platform/appkit/Screen.h"

#include <QString>

#include <optional>
#include <vector>

// One way a display can be driven: its size in points and its refresh rate.
struct OVDisplayMode {
    int width = 0;
    int height = 0;
    double refreshRate = 0;
    // What the service needs to set the mode again.
    quint32 identifier = 0;

    // The reduced width:height ratio, such as "16:9"; 16:10 is kept as such rather than 8:5.
    QString displayableSizeRatio() const;
    QString userDisplayableString() const;
    bool operator==(const OVDisplayMode&) const = default;
};

// Listing and changing display modes, which Qt does not offer. The program installs the service that
// fits its windowing system; without one, the null service answers: no modes, every change fails.
class OVDisplayModeService {
public:
    virtual ~OVDisplayModeService() = default;

    static OVDisplayModeService& shared();
    // Null puts the null service back.
    static void setShared(OVDisplayModeService* service);

    virtual std::optional<OVDisplayMode> displayMode(const Screen& screen) const = 0;
    virtual std::vector<OVDisplayMode> availableDisplayModes(const Screen& screen) const = 0;
    virtual bool isMirrored(const Screen& screen) const = 0;
    // Each answers whether the change was made.
    virtual bool setDisplayMode(const Screen& screen, const OVDisplayMode& mode) = 0;
    virtual bool unmirrorScreen(const Screen& screen) = 0;

    // The modes of the talent display no larger than the operator's, at its refresh rate or below;
    // with matchSizeRatio only those of the talent display's present ratio. Largest first.
    static std::vector<OVDisplayMode> compatibleDisplayModes(const std::vector<OVDisplayMode>& talentModes,
                                                             const OVDisplayMode& operatorMode,
                                                             const std::optional<OVDisplayMode>& talentMode,
                                                             bool matchSizeRatio);
};

class OVNullDisplayModeService : public OVDisplayModeService {
public:
    std::optional<OVDisplayMode> displayMode(const Screen&) const override { return std::nullopt; }
    std::vector<OVDisplayMode> availableDisplayModes(const Screen&) const override { return {}; }
    bool isMirrored(const Screen&) const override { return false; }
    bool setDisplayMode(const Screen&, const OVDisplayMode&) override { return false; }
    bool unmirrorScreen(const Screen&) override { return false; }
};
