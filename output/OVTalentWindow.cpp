#include "output/OVTalentWindow.h"

#include <QGuiApplication>
#include <QWidget>

OVTalentWindow::OVTalentWindow(const Rect& frame) : Window(frame, Borderless)
{
    setLevel(kTalentWindowLevel);
    setCollectionBehavior(kTalentCollectionBehavior);
    setMovable(false);
    setHidesOnDeactivate(false);
    setExcludedFromWindowsMenu(true);
    setHasShadow(false);
    setOpaque(true);
    setBackgroundColor(Qt::black);
    // A tool window stays off the taskbar; bypassing the window manager keeps it exactly where it is
    // put (no placement policy, no focus).
    if (QWidget* host = hostWidget())
        host->setWindowFlags(host->windowFlags() | Qt::Tool | Qt::WindowDoesNotAcceptFocus |
                             Qt::X11BypassWindowManagerHint);
}

void OVTalentWindow::setForceFrame(const Rect& frame)
{
    setFrame(frame, true);
}

bool OVTalentWindow::platformPlacesWindows()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform == QLatin1String("offscreen");
}
