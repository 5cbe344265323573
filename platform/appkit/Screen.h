#pragma once

#include "platform/foundation/Rect.h"

#include <QString>

#include <optional>
#include <vector>

// One display as the application sees it: frames in global y-up coordinates, with the origin at the
// bottom-left of the primary screen.
class Screen {
public:
    // Used when a display reports no usable refresh rate (virtual and some remote displays say 0).
    static constexpr double kFallbackRefreshRate = 60.0;

    Screen() = default;
    Screen(quint32 displayID, QString name, Rect frame, Rect visibleFrame, double backingScaleFactor = 1.0,
           double refreshRate = kFallbackRefreshRate);

    // Stable across runs for the same output, derived from its name and serial number; never 0.
    quint32 displayID() const { return m_displayID; }
    const QString& name() const { return m_name; }
    const Rect& frame() const { return m_frame; }
    // The frame less panels and docks the desktop reserves.
    const Rect& visibleFrame() const { return m_visibleFrame; }
    double backingScaleFactor() const { return m_backingScaleFactor; }
    // Always a positive, finite rate in hertz.
    double refreshRate() const { return m_refreshRate; }

    bool operator==(const Screen&) const = default;

    // The screens of the shared provider, primary first.
    static std::vector<Screen> screens();
    // The screen holding the key window, else the primary screen; empty with no screens at all.
    static std::optional<Screen> mainScreen();
    static std::optional<Screen> primaryScreen();
    static std::optional<Screen> screenWithDisplayID(quint32 displayID);
    // The screen a global rect overlaps most; empty when it overlaps none.
    static std::optional<Screen> screenForRect(const Rect& globalRect);

    static quint32 displayIDForName(const QString& name, const QString& serialNumber = {});

private:
    quint32 m_displayID = 0;
    QString m_name;
    Rect m_frame;
    Rect m_visibleFrame;
    double m_backingScaleFactor = 1.0;
    double m_refreshRate = kFallbackRefreshRate;
};
