#pragma once

#include "platform/foundation/Rect.h"

#include <functional>

class OVPrompterView;
class Window;

// Where the prompter's output goes and how large it is, and a never-shown prompt-mode copy of a
// script laid out at exactly that size (for export and printing).
class OVEnvironment {
public:
    enum OutputTarget : unsigned { kTalentWindow = 0, kOperatorFullScreen = 1, kWindowed = 2 };
    static constexpr double kFallbackWidth = 1920;
    static constexpr double kFallbackHeight = 1080;
    // Titled and resizable.
    static constexpr unsigned kWindowedStyleMask = 9;
    static constexpr double kMagnificationThreshold = 0.01;

    static unsigned prompterOutputTarget();
    static Size prompterOutputSize();
    // Runs block with a temporary window and prompter view holding a prompt-styled copy of
    // prompterView's script. Both belong to this call and are gone when it returns: the block must
    // keep no pointer to them.
    static void createTemporaryPromptModeEnvironmentWithPrompterContent(
        OVPrompterView* prompterView, const Size& contentSize,
        const std::function<void(Window& window, OVPrompterView& prompterView)>& block);
};
