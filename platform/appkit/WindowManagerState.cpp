#include "platform/appkit/WindowManagerState.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace {

// The values of WM_STATE's state field.
constexpr uint32_t kWithdrawnState = 0;
constexpr uint32_t kIconicState = 3;

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_connection_t* x11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The widget's X window, without making one for a widget that has none.
xcb_window_t nativeWindow(const QWidget& window)
{
    if (!window.testAttribute(Qt::WA_WState_Created))
        return XCB_WINDOW_NONE;
    return xcb_window_t(window.internalWinId());
}

xcb_atom_t internedAtom(xcb_connection_t* connection, const char* name, bool onlyIfExists)
{
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection,
                              xcb_intern_atom(connection, onlyIfExists, uint16_t(std::strlen(name)), name),
                              nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_atom_t wmStateAtom(xcb_connection_t* connection)
{
    static xcb_connection_t* cachedFor = nullptr;
    static xcb_atom_t atom = XCB_ATOM_NONE;
    if (cachedFor != connection) {
        atom = internedAtom(connection, "WM_STATE", false);
        cachedFor = connection;
    }
    return atom;
}

// The window a window property names, if it names one.
std::optional<xcb_window_t> windowProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t atom)
{
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, window, atom, XCB_ATOM_WINDOW, 0, 1), nullptr),
        &std::free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
}

// The state the window manager keeps in WM_STATE; none for a window it does not manage.
std::optional<uint32_t> wmState(xcb_connection_t* connection, xcb_window_t window)
{
    const xcb_atom_t atom = wmStateAtom(connection);
    if (atom == XCB_ATOM_NONE)
        return std::nullopt;
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, atom, atom, 0, 2),
                               nullptr),
        &std::free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    return *static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
}

} // namespace

bool windowManagerHasReleased(const QWidget& window)
{
    xcb_connection_t* connection = x11Connection();
    const xcb_window_t id = nativeWindow(window);
    if (!connection || id == XCB_WINDOW_NONE)
        return true;
    const std::optional<uint32_t> state = wmState(connection, id);
    if (state && *state != kWithdrawnState)
        return false;
    // A reparenting window manager hands the window back to the root once it has let go of it.
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, id), nullptr), &std::free);
    return !tree || tree->parent == tree->root;
}

bool windowSystemShows(const QWidget& window)
{
    xcb_connection_t* connection = x11Connection();
    const xcb_window_t id = nativeWindow(window);
    if (!connection || id == XCB_WINDOW_NONE)
        return true;
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), nullptr),
        &std::free);
    if (!attributes)
        return true;
    // A window manager hides the frames of windows on other desktops: the window itself stays mapped.
    if (attributes->map_state != XCB_MAP_STATE_UNMAPPED)
        return true;
    const std::optional<uint32_t> state = wmState(connection, id);
    return state && *state == kIconicState;
}

bool windowManagerIsRunning()
{
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return false;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return false;
    // A window manager names a window of its own on the root, and that window names itself; a name
    // left behind by one that has gone points at a window that no longer exists.
    const xcb_atom_t check = internedAtom(connection, "_NET_SUPPORTING_WM_CHECK", true);
    if (check == XCB_ATOM_NONE)
        return false;
    const std::optional<xcb_window_t> named = windowProperty(connection, screen->root, check);
    return named && windowProperty(connection, *named, check) == named;
}
