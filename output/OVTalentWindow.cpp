#include "output/OVTalentWindow.h"

#include <QGuiApplication>
#include <QWidget>

OVTalentWindow::OVTalentWindow(const Rect& frame) : OVPrompterWindow(frame, Borderless)
{
    setLevel(kTalentWindowLevel);
    setCollectionBehavior(kTalentCollectionBehavior);
    setMovable(false);
    setHidesOnDeactivate(false);
    setExcludedFromWindowsMenu(true);
    setHasShadow(false);
    setOpaque(true);
    setBackgroundColor(Qt::black);
    updateQtFlags();
}

Qt::WindowFlags OVTalentWindow::additionalQtFlags() const
{
    // A tool window stays off the taskbar; bypassing the window manager keeps it exactly where it is
    // put (no placement policy, no focus).
    return Qt::Tool | Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint;
}

bool OVTalentWindow::platformPlacesWindows()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform == QLatin1String("offscreen");
}
