#pragma once

#include "output/OVDisplayModeService.h"

#include <QSize>

#include <memory>

// Display modes through RandR on the X server Qt is connected to. A screen is found as the RandR
// monitor of the same name (or, failing that, of the same geometry); its modes are those of the
// monitor's first output. What a screen's output offers is asked once and kept until Qt reports a
// change of the screens (or this service changes them). Changes run under a server grab so no other
// client sees a half-made configuration, grow the X screen when the new arrangement needs more room,
// and report whether the server accepted them.
class OVRandRDisplayModeService : public OVDisplayModeService {
public:
    // Null unless Qt runs on xcb and the server speaks RandR 1.5 (monitors).
    static std::unique_ptr<OVRandRDisplayModeService> create();
    ~OVRandRDisplayModeService() override;

    std::optional<OVDisplayMode> displayMode(const Screen& screen) const override;
    std::vector<OVDisplayMode> availableDisplayModes(const Screen& screen) const override;
    // Whether the screen's output shows what another output shows: it shares a CRTC with another
    // output, or its CRTC overlaps another active one.
    bool isMirrored(const Screen& screen) const override;
    bool setDisplayMode(const Screen& screen, const OVDisplayMode& mode) override;
    // Gives the screen's output a place of its own right of every other output, on a free CRTC when
    // it shared one.
    bool unmirrorScreen(const Screen& screen) override;

    // Forgets what was asked of the server; the next question asks again.
    void invalidateCache();
    // How many times the server was asked about a screen's output (for tests of the cache).
    int serverQueries() const;

    // The arrangement logic, apart from the server.
    struct CrtcArea {
        quint32 crtc = 0;
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
    };
    // Whether area overlaps one of the others (a different CRTC) that has a size.
    static bool overlapsAnother(const CrtcArea& area, const std::vector<CrtcArea>& others);
    struct Placement {
        int x = 0;
        int y = 0;
        QSize screenSize;
    };
    // Where an area of size goes to stand on its own: right of every other area, level with the top
    // of the leftmost; with the X screen size that holds everything then. None when that is beyond
    // maximum.
    static std::optional<Placement> placementBeside(const QSize& size, quint32 crtc,
                                                    const std::vector<CrtcArea>& others, const QSize& screen,
                                                    const QSize& maximum);
    // The X screen size that holds a mode of size at (x, y) besides what it holds now; none beyond
    // maximum.
    static std::optional<QSize> screenSizeHolding(int x, int y, const QSize& size, const QSize& screen,
                                                  const QSize& maximum);

private:
    struct Connection;
    explicit OVRandRDisplayModeService(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> m_connection;
};
