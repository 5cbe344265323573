#include "platform/appkit/ApplicationIcon.h"

#include <QGuiApplication>

namespace {

struct State {
    QIcon defaultIcon;
    QIcon icon;
};

State& state()
{
    static State instance;
    return instance;
}

void show()
{
    // Every window without an icon of its own takes the application's, and is told of a new one.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::setWindowIcon(ApplicationIcon::icon());
}

} // namespace

namespace ApplicationIcon {

void setDefaultIcon(const QIcon& icon)
{
    state().defaultIcon = icon;
    show();
}

const QIcon& defaultIcon()
{
    return state().defaultIcon;
}

void setIcon(const QIcon& icon)
{
    if (icon.isNull() && state().icon.isNull())
        return;
    state().icon = icon;
    show();
}

QIcon icon()
{
    return state().icon.isNull() ? state().defaultIcon : state().icon;
}

bool showsDefault()
{
    return state().icon.isNull();
}

} // namespace ApplicationIcon
