#include "output/OVRandRDisplayModeService.h"

#include <QGuiApplication>
#include <QObject>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <map>
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

bool isQuarterTurn(uint16_t rotation)
{
    return rotation & (XCB_RANDR_ROTATION_ROTATE_90 | XCB_RANDR_ROTATION_ROTATE_270);
}

// A screen is asked about by its name and place: a moved or renamed screen is a new question.
QString cacheKey(const Screen& screen)
{
    const Rect& frame = screen.frame();
    return QStringLiteral("%1@%2,%3,%4x%5")
        .arg(screen.name())
        .arg(frame.origin.x)
        .arg(frame.origin.y)
        .arg(frame.size.width)
        .arg(frame.size.height);
}

} // namespace

bool OVRandRDisplayModeService::overlapsAnother(const CrtcArea& area, const std::vector<CrtcArea>& others)
{
    for (const CrtcArea& other : others) {
        if (other.crtc == area.crtc || other.width <= 0 || other.height <= 0)
            continue;
        if (area.x < other.x + other.width && other.x < area.x + area.width &&
            area.y < other.y + other.height && other.y < area.y + area.height)
            return true;
    }
    return false;
}

std::optional<QSize> OVRandRDisplayModeService::screenSizeHolding(int x, int y, const QSize& size,
                                                                  const QSize& screen, const QSize& maximum)
{
    if (x < 0 || y < 0 || size.isEmpty())
        return std::nullopt;
    const QSize needed(std::max(screen.width(), x + size.width()),
                       std::max(screen.height(), y + size.height()));
    if (needed.width() > maximum.width() || needed.height() > maximum.height())
        return std::nullopt;
    return needed;
}

std::optional<OVRandRDisplayModeService::Placement>
OVRandRDisplayModeService::placementBeside(const QSize& size, quint32 crtc,
                                           const std::vector<CrtcArea>& others, const QSize& screen,
                                           const QSize& maximum)
{
    int right = 0;
    const CrtcArea* leftmost = nullptr;
    for (const CrtcArea& other : others) {
        if (other.crtc == crtc || other.width <= 0 || other.height <= 0)
            continue;
        right = std::max(right, other.x + other.width);
        if (!leftmost || other.x < leftmost->x)
            leftmost = &other;
    }
    Placement placement;
    placement.x = right;
    placement.y = leftmost ? leftmost->y : 0;
    const std::optional<QSize> holding = screenSizeHolding(placement.x, placement.y, size, screen, maximum);
    if (!holding)
        return std::nullopt;
    placement.screenSize = *holding;
    return placement;
}

struct OVRandRDisplayModeService::Connection {
    xcb_connection_t* xcb = nullptr;
    xcb_window_t root = 0;
    // What the server said about a screen's output, until the screens change.
    struct OutputState {
        xcb_randr_output_t output = XCB_NONE;
        xcb_randr_crtc_t crtc = XCB_NONE;
        std::vector<OVDisplayMode> modes;
        std::optional<OVDisplayMode> current;
        bool mirrored = false;
    };
    mutable std::map<QString, OutputState> cache;
    mutable int queries = 0;
    // Tells the service when Qt sees the screens change.
    std::unique_ptr<QObject> watcher;

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

    Reply<xcb_randr_get_output_info_reply_t> outputInfo(xcb_randr_output_t output,
                                                        xcb_timestamp_t config) const
    {
        return reply(
            xcb_randr_get_output_info_reply(xcb, xcb_randr_get_output_info(xcb, output, config), nullptr));
    }

    Reply<xcb_randr_get_crtc_info_reply_t> crtcInfo(xcb_randr_crtc_t crtc, xcb_timestamp_t config) const
    {
        return reply(xcb_randr_get_crtc_info_reply(xcb, xcb_randr_get_crtc_info(xcb, crtc, config), nullptr));
    }

    // An output's CRTC as the server has it now, with the resources and output information it was
    // found through. Only what was found is set: no CRTC when the output has none.
    struct OutputCrtc {
        Reply<xcb_randr_get_screen_resources_current_reply_t> resources{nullptr, &std::free};
        Reply<xcb_randr_get_output_info_reply_t> info{nullptr, &std::free};
        Reply<xcb_randr_get_crtc_info_reply_t> crtc{nullptr, &std::free};
    };
    OutputCrtc outputCrtc(xcb_randr_output_t output) const
    {
        OutputCrtc found;
        found.resources = resources();
        if (!found.resources)
            return found;
        found.info = outputInfo(output, found.resources->config_timestamp);
        if (found.info && found.info->crtc != XCB_NONE)
            found.crtc = crtcInfo(found.info->crtc, found.resources->config_timestamp);
        return found;
    }

    // The active CRTCs (a mode and at least one output) and their places on the X screen.
    std::vector<CrtcArea> activeAreas(const xcb_randr_get_screen_resources_current_reply_t& resources) const
    {
        std::vector<CrtcArea> areas;
        const xcb_randr_crtc_t* crtcs = xcb_randr_get_screen_resources_current_crtcs(&resources);
        const int count = xcb_randr_get_screen_resources_current_crtcs_length(&resources);
        for (int i = 0; i < count; ++i) {
            auto info = crtcInfo(crtcs[i], resources.config_timestamp);
            if (!info || info->mode == XCB_NONE || info->num_outputs == 0)
                continue;
            areas.push_back({crtcs[i], info->x, info->y, info->width, info->height});
        }
        return areas;
    }

    const OutputState& stateFor(const Screen& screen) const
    {
        const QString key = cacheKey(screen);
        if (auto it = cache.find(key); it != cache.end())
            return it->second;
        ++queries;
        OutputState& state = cache[key];
        state.output = outputFor(screen);
        if (state.output == XCB_NONE)
            return state;
        auto current = resources();
        if (!current)
            return state;
        auto info = outputInfo(state.output, current->config_timestamp);
        if (!info)
            return state;
        const xcb_randr_mode_t* outputModes = xcb_randr_get_output_info_modes(info.get());
        const int outputModeCount = xcb_randr_get_output_info_modes_length(info.get());
        const xcb_randr_mode_info_t* modes = xcb_randr_get_screen_resources_current_modes(current.get());
        const int modeCount = xcb_randr_get_screen_resources_current_modes_length(current.get());
        for (int i = 0; i < outputModeCount; ++i)
            for (int j = 0; j < modeCount; ++j)
                if (modes[j].id == outputModes[i])
                    state.modes.push_back(
                        {modes[j].width, modes[j].height, refreshRate(modes[j]), modes[j].id});
        state.crtc = info->crtc;
        if (state.crtc == XCB_NONE)
            return state;
        auto crtc = crtcInfo(state.crtc, current->config_timestamp);
        if (!crtc)
            return state;
        for (const OVDisplayMode& mode : state.modes)
            if (mode.identifier == crtc->mode)
                state.current = mode;
        const CrtcArea own{state.crtc, crtc->x, crtc->y, crtc->width, crtc->height};
        state.mirrored = crtc->num_outputs > 1 || overlapsAnother(own, activeAreas(*current));
        return state;
    }

    QSize screenSize() const
    {
        auto geometry = reply(xcb_get_geometry_reply(xcb, xcb_get_geometry(xcb, root), nullptr));
        return geometry ? QSize(geometry->width, geometry->height) : QSize();
    }

    QSize maximumScreenSize() const
    {
        auto range = reply(
            xcb_randr_get_screen_size_range_reply(xcb, xcb_randr_get_screen_size_range(xcb, root), nullptr));
        return range ? QSize(range->max_width, range->max_height) : QSize();
    }

    // Keeps the screen's physical size in step with its pixels, so its resolution stays as it was.
    void setScreenSize(const QSize& size) const
    {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(xcb)).data;
        const double mmPerPixelX = screen->width_in_pixels
                                       ? double(screen->width_in_millimeters) / screen->width_in_pixels
                                       : 25.4 / 96;
        const double mmPerPixelY = screen->height_in_pixels
                                       ? double(screen->height_in_millimeters) / screen->height_in_pixels
                                       : 25.4 / 96;
        xcb_randr_set_screen_size(xcb, root, uint16_t(size.width()), uint16_t(size.height()),
                                  uint32_t(std::max(1.0, size.width() * mmPerPixelX)),
                                  uint32_t(std::max(1.0, size.height() * mmPerPixelY)));
    }

    bool setCrtc(xcb_randr_crtc_t crtc, xcb_timestamp_t config, int x, int y, xcb_randr_mode_t mode,
                 uint16_t rotation, const std::vector<xcb_randr_output_t>& outputs) const
    {
        auto result = reply(xcb_randr_set_crtc_config_reply(
            xcb,
            xcb_randr_set_crtc_config(xcb, crtc, XCB_CURRENT_TIME, config, int16_t(x), int16_t(y), mode,
                                      rotation, uint32_t(outputs.size()), outputs.data()),
            nullptr));
        return result && result->status == XCB_RANDR_SET_CONFIG_SUCCESS;
    }
};

// Holds the server for the duration of a change, so no client sees it half made.
class ServerGrab {
public:
    explicit ServerGrab(xcb_connection_t* xcb) : m_xcb(xcb) { xcb_grab_server(m_xcb); }
    ~ServerGrab()
    {
        xcb_ungrab_server(m_xcb);
        xcb_flush(m_xcb);
    }
    ServerGrab(const ServerGrab&) = delete;
    ServerGrab& operator=(const ServerGrab&) = delete;

private:
    xcb_connection_t* m_xcb;
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
    m_connection->watcher = std::make_unique<QObject>();
    QObject* watcher = m_connection->watcher.get();
    auto forget = [this] { invalidateCache(); };
    auto watch = [watcher, forget](QScreen* screen) {
        QObject::connect(screen, &QScreen::geometryChanged, watcher, forget);
    };
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, watcher, [watch, forget](QScreen* screen) {
        watch(screen);
        forget();
    });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, watcher, forget);
    QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, watcher, forget);
}

OVRandRDisplayModeService::~OVRandRDisplayModeService() = default;

void OVRandRDisplayModeService::invalidateCache()
{
    m_connection->cache.clear();
}

int OVRandRDisplayModeService::serverQueries() const
{
    return m_connection->queries;
}

std::vector<OVDisplayMode> OVRandRDisplayModeService::availableDisplayModes(const Screen& screen) const
{
    return m_connection->stateFor(screen).modes;
}

std::optional<OVDisplayMode> OVRandRDisplayModeService::displayMode(const Screen& screen) const
{
    return m_connection->stateFor(screen).current;
}

bool OVRandRDisplayModeService::isMirrored(const Screen& screen) const
{
    return m_connection->stateFor(screen).mirrored;
}

bool OVRandRDisplayModeService::setDisplayMode(const Screen& screen, const OVDisplayMode& mode)
{
    const Connection& x = *m_connection;
    const xcb_randr_output_t output = x.outputFor(screen);
    if (output == XCB_NONE)
        return false;
    bool done = false;
    {
        const ServerGrab grab(x.xcb);
        const auto [resources, info, crtc] = x.outputCrtc(output);
        if (crtc) {
            const QSize size = isQuarterTurn(crtc->rotation) ? QSize(mode.height, mode.width)
                                                             : QSize(mode.width, mode.height);
            const QSize before = x.screenSize();
            const std::optional<QSize> needed =
                screenSizeHolding(crtc->x, crtc->y, size, before, x.maximumScreenSize());
            // A larger mode needs a larger X screen first, or the server refuses it.
            if (needed) {
                if (*needed != before)
                    x.setScreenSize(*needed);
                std::vector<xcb_randr_output_t> outputs(
                    xcb_randr_get_crtc_info_outputs(crtc.get()),
                    xcb_randr_get_crtc_info_outputs(crtc.get()) +
                        xcb_randr_get_crtc_info_outputs_length(crtc.get()));
                done = x.setCrtc(info->crtc, resources->config_timestamp, crtc->x, crtc->y, mode.identifier,
                                 crtc->rotation, outputs);
                if (!done && *needed != before)
                    x.setScreenSize(before);
            }
        }
    }
    invalidateCache();
    return done;
}

bool OVRandRDisplayModeService::unmirrorScreen(const Screen& screen)
{
    const Connection& x = *m_connection;
    const xcb_randr_output_t output = x.outputFor(screen);
    if (output == XCB_NONE)
        return false;
    bool done = false;
    {
        const ServerGrab grab(x.xcb);
        const auto [resources, info, crtc] = x.outputCrtc(output);
        if (crtc && crtc->mode != XCB_NONE) {
            const xcb_timestamp_t config = resources->config_timestamp;
            std::vector<CrtcArea> areas = x.activeAreas(*resources);
            const xcb_randr_output_t* shared = xcb_randr_get_crtc_info_outputs(crtc.get());
            std::vector<xcb_randr_output_t> others;
            for (int i = 0; i < xcb_randr_get_crtc_info_outputs_length(crtc.get()); ++i)
                if (shared[i] != output)
                    others.push_back(shared[i]);
            // Sharing its CRTC, the output needs a free one of its own; the shared one stays where it is.
            xcb_randr_crtc_t target = info->crtc;
            if (!others.empty()) {
                target = XCB_NONE;
                const xcb_randr_crtc_t* possible = xcb_randr_get_output_info_crtcs(info.get());
                for (int i = 0; i < xcb_randr_get_output_info_crtcs_length(info.get()) && target == XCB_NONE;
                     ++i) {
                    auto candidate = x.crtcInfo(possible[i], config);
                    if (candidate && candidate->num_outputs == 0)
                        target = possible[i];
                }
            } else {
                std::erase_if(areas, [&](const CrtcArea& area) { return area.crtc == info->crtc; });
            }
            const QSize size(crtc->width, crtc->height);
            const QSize before = x.screenSize();
            const std::optional<Placement> placement =
                target != XCB_NONE ? placementBeside(size, target, areas, before, x.maximumScreenSize())
                                   : std::nullopt;
            if (placement) {
                if (placement->screenSize != before)
                    x.setScreenSize(placement->screenSize);
                bool moved = true;
                if (target != info->crtc)
                    moved =
                        x.setCrtc(info->crtc, config, crtc->x, crtc->y, crtc->mode, crtc->rotation, others);
                done = moved && x.setCrtc(target, config, placement->x, placement->y, crtc->mode,
                                          crtc->rotation, {output});
                // Never leave the output dark: it goes back to showing the other one's picture.
                if (moved && !done && target != info->crtc) {
                    std::vector<xcb_randr_output_t> all = others;
                    all.push_back(output);
                    x.setCrtc(info->crtc, config, crtc->x, crtc->y, crtc->mode, crtc->rotation, all);
                }
                if (!done && placement->screenSize != before)
                    x.setScreenSize(before);
            }
        }
    }
    invalidateCache();
    return done;
}
