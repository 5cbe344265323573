#include "output/OVRandRDisplayModeService.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> Reply<T> reply(T* pointer)
{
    return Reply<T>(pointer, &std::free);
}

double refreshRate(const xcb_randr_mode_info_t& info)
{
    if (info.htotal == 0 || info.vtotal == 0)
        return 0;
    return double(info.dot_clock) / (double(info.htotal) * double(info.vtotal));
}

} // namespace

struct OVRandRDisplayModeService::Connection {
    xcb_connection_t* xcb = nullptr;
    xcb_window_t root = 0;

    // The first output of the monitor standing for screen; none when the monitor has no output.
    xcb_randr_output_t outputFor(const Screen& screen) const
    {
        auto monitors =
            reply(xcb_randr_get_monitors_reply(xcb, xcb_randr_get_monitors(xcb, root, 1), nullptr));
        if (!monitors)
            return XCB_NONE;
        const QString wanted = screen.name();
        xcb_randr_output_t byGeometry = XCB_NONE;
        for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem;
             xcb_randr_monitor_info_next(&it)) {
            const xcb_randr_monitor_info_t* monitor = it.data;
            const int count = xcb_randr_monitor_info_outputs_length(monitor);
            const xcb_randr_output_t first =
                count > 0 ? xcb_randr_monitor_info_outputs(monitor)[0] : XCB_NONE;
            auto name = reply(xcb_get_atom_name_reply(xcb, xcb_get_atom_name(xcb, monitor->name), nullptr));
            if (name) {
                const QString monitorName = QString::fromLatin1(xcb_get_atom_name_name(name.get()),
                                                                xcb_get_atom_name_name_length(name.get()));
                if (monitorName == wanted)
                    return first;
            }
            if (monitor->width == screen.frame().size.width &&
                monitor->height == screen.frame().size.height && byGeometry == XCB_NONE)
                byGeometry = first;
        }
        return byGeometry;
    }

    Reply<xcb_randr_get_screen_resources_current_reply_t> resources() const
    {
        return reply(xcb_randr_get_screen_resources_current_reply(
            xcb, xcb_randr_get_screen_resources_current(xcb, root), nullptr));
    }
};

std::unique_ptr<OVRandRDisplayModeService> OVRandRDisplayModeService::create()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return nullptr;
    auto connection = std::make_unique<Connection>();
    connection->xcb = x11->connection();
    auto version = reply(xcb_randr_query_version_reply(
        connection->xcb, xcb_randr_query_version(connection->xcb, 1, 5), nullptr));
    if (!version || version->major_version < 1 || (version->major_version == 1 && version->minor_version < 5))
        return nullptr;
    const xcb_setup_t* setup = xcb_get_setup(connection->xcb);
    connection->root = xcb_setup_roots_iterator(setup).data->root;
    return std::unique_ptr<OVRandRDisplayModeService>(new OVRandRDisplayModeService(std::move(connection)));
}

OVRandRDisplayModeService::OVRandRDisplayModeService(std::unique_ptr<Connection> connection)
    : m_connection(std::move(connection))
{
}

OVRandRDisplayModeService::~OVRandRDisplayModeService() = default;

std::vector<OVDisplayMode> OVRandRDisplayModeService::availableDisplayModes(const Screen& screen) const
{
    xcb_connection_t* xcb = m_connection->xcb;
    const xcb_randr_output_t output = m_connection->outputFor(screen);
    if (output == XCB_NONE)
        return {};
    auto resources = m_connection->resources();
    if (!resources)
        return {};
    auto info = reply(xcb_randr_get_output_info_reply(
        xcb, xcb_randr_get_output_info(xcb, output, resources->config_timestamp), nullptr));
    if (!info)
        return {};
    const xcb_randr_mode_t* outputModes = xcb_randr_get_output_info_modes(info.get());
    const int outputModeCount = xcb_randr_get_output_info_modes_length(info.get());
    const xcb_randr_mode_info_t* modes = xcb_randr_get_screen_resources_current_modes(resources.get());
    const int modeCount = xcb_randr_get_screen_resources_current_modes_length(resources.get());
    std::vector<OVDisplayMode> result;
    for (int i = 0; i < outputModeCount; ++i)
        for (int j = 0; j < modeCount; ++j)
            if (modes[j].id == outputModes[i])
                result.push_back({modes[j].width, modes[j].height, refreshRate(modes[j]), modes[j].id});
    return result;
}

std::optional<OVDisplayMode> OVRandRDisplayModeService::displayMode(const Screen& screen) const
{
    xcb_connection_t* xcb = m_connection->xcb;
    const xcb_randr_output_t output = m_connection->outputFor(screen);
    if (output == XCB_NONE)
        return std::nullopt;
    auto resources = m_connection->resources();
    if (!resources)
        return std::nullopt;
    auto info = reply(xcb_randr_get_output_info_reply(
        xcb, xcb_randr_get_output_info(xcb, output, resources->config_timestamp), nullptr));
    if (!info || info->crtc == XCB_NONE)
        return std::nullopt;
    auto crtc = reply(xcb_randr_get_crtc_info_reply(
        xcb, xcb_randr_get_crtc_info(xcb, info->crtc, resources->config_timestamp), nullptr));
    if (!crtc)
        return std::nullopt;
    for (const OVDisplayMode& mode : availableDisplayModes(screen))
        if (mode.identifier == crtc->mode)
            return mode;
    return std::nullopt;
}

bool OVRandRDisplayModeService::isMirrored(const Screen&) const
{
    // Mirroring is recognised from the screens' geometry by the core; RandR adds nothing it can act on yet.
    return false;
}

bool OVRandRDisplayModeService::setDisplayMode(const Screen& screen, const OVDisplayMode& mode)
{
    xcb_connection_t* xcb = m_connection->xcb;
    const xcb_randr_output_t output = m_connection->outputFor(screen);
    if (output == XCB_NONE)
        return false;
    xcb_grab_server(xcb);
    bool done = false;
    auto resources = m_connection->resources();
    auto info = resources
                    ? reply(xcb_randr_get_output_info_reply(
                          xcb, xcb_randr_get_output_info(xcb, output, resources->config_timestamp), nullptr))
                    : Reply<xcb_randr_get_output_info_reply_t>(nullptr, &std::free);
    if (info && info->crtc != XCB_NONE) {
        auto crtc = reply(xcb_randr_get_crtc_info_reply(
            xcb, xcb_randr_get_crtc_info(xcb, info->crtc, resources->config_timestamp), nullptr));
        if (crtc) {
            // A mode that does not fit the present screen size is refused by the server: the
            // answer says so, and nothing has changed.
            auto result = reply(xcb_randr_set_crtc_config_reply(
                xcb,
                xcb_randr_set_crtc_config(xcb, info->crtc, XCB_CURRENT_TIME, resources->config_timestamp,
                                          crtc->x, crtc->y, mode.identifier, crtc->rotation, 1, &output),
                nullptr));
            done = result && result->status == XCB_RANDR_SET_CONFIG_SUCCESS;
        }
    }
    xcb_ungrab_server(xcb);
    xcb_flush(xcb);
    return done;
}

bool OVRandRDisplayModeService::unmirrorScreen(const Screen&)
{
    return false;
}
