#include "prompting/NSApplicationOVAdditions.h"

#include "platform/appkit/Application.h"

#include <algorithm>

std::vector<Window*> betterOrderedWindows()
{
    const Application& application = Application::shared();
    const std::vector<Window*> ordered = application.orderedWindows();
    std::vector<Window*> result;
    result.reserve(application.windows().size());
    for (Window* window : application.windows()) {
        if (std::find(ordered.begin(), ordered.end(), window) == ordered.end())
            result.push_back(window);
    }
    result.insert(result.end(), ordered.rbegin(), ordered.rend());
    return result;
}
