#pragma once

#include "output/OVDisplayModeService.h"

#include <memory>

// Display modes through RandR on the X server Qt is connected to. A screen is found as the RandR
// monitor of the same name (or, failing that, of the same geometry); its modes are those of the
// monitor's first output. Changes run under a server grab so no other client sees a half-made
// configuration, and report whether the server accepted them.
class OVRandRDisplayModeService : public OVDisplayModeService {
public:
    // Null unless Qt runs on xcb and the server speaks RandR 1.5 (monitors).
    static std::unique_ptr<OVRandRDisplayModeService> create();
    ~OVRandRDisplayModeService() override;

    std::optional<OVDisplayMode> displayMode(const Screen& screen) const override;
    std::vector<OVDisplayMode> availableDisplayModes(const Screen& screen) const override;
    bool isMirrored(const Screen& screen) const override;
    bool setDisplayMode(const Screen& screen, const OVDisplayMode& mode) override;
    // Placing a mirrored output beside the operator's is not done yet: it fails, honestly.
    bool unmirrorScreen(const Screen& screen) override;

private:
    struct Connection;
    explicit OVRandRDisplayModeService(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> m_connection;
};
