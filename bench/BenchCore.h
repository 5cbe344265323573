#pragma once

// What the prompting benchmarks give the core in place of a document window: a prompter view over a
// scroll view of a tall, empty document, a controller without controls, and input with no keys held.
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/View.h"
#include "prompting/OVCoreController.h"
#include "prompting/OVCoreInputController.h"
#include "prompting/OVCorePrompterView.h"
#include "prompting/OVTimeInfo.h"

#include <memory>

namespace bench {

// A scroll view of frame over a flipped document view of the frame's width and height high, so
// that scrolling has room and draws nothing.
inline std::unique_ptr<ScrollView> scrollOverDocument(const Rect& frame, double height)
{
    auto scroll = std::make_unique<ScrollView>(frame);
    auto document = std::make_unique<View>(Rect{{0, 0}, {frame.size.width, height}});
    document->setFlipped(true);
    scroll->setDocumentView(std::move(document));
    return scroll;
}

// The prompter view of a scroll view someone else owns.
class PrompterView final : public OVCorePrompterView {
public:
    explicit PrompterView(ScrollView* scrollView) : m_scrollView(scrollView) {}
    ScrollView* scrollView() const override { return m_scrollView; }
    ClipView* clipView() const override { return m_scrollView->contentView(); }
    View* textView() const override { return m_scrollView->documentView(); }
    bool isVerticallyFlipped() const override { return flipped; }

    bool flipped = false;

private:
    ScrollView* m_scrollView;
};

// A controller whose speed and looping are fixed and whose controls never need an update.
class CoreController : public OVCoreController {
public:
    explicit CoreController(OVCorePrompterView* prompter, Window* window = nullptr)
        : m_prompter(prompter), m_window(window)
    {
    }
    Window* controllerWindow() const override { return m_window; }
    OVCorePrompterView* prompterView() const override { return m_prompter; }
    double speed() const override { return fixedSpeed; }
    void setSpeed(double) override {}
    double minSpeedUIValue() const override { return -30; }
    double maxSpeedUIValue() const override { return 30; }
    OVTimeInfo* timeInfo() const override { return const_cast<OVTimeInfo*>(&time); }
    bool timeRemainingNeedsUpdate() const override { return remainingNeedsUpdate; }
    void setTimeRemainingNeedsUpdate(bool) override {}
    bool speedControlNeedsUpdate() const override { return false; }
    void setSpeedControlNeedsUpdate(bool) override {}
    void updateSpeedControl() override {}
    void forceModeChange(unsigned) override {}
    bool looping() const override { return loops; }

    double fixedSpeed = 0;
    bool remainingNeedsUpdate = false;
    bool loops = false;
    OVTimeInfo time;

private:
    OVCorePrompterView* m_prompter;
    Window* m_window;
};

// Input whose keys are set by the benchmark.
class CoreInput final : public OVCoreInputController {
public:
    void start() override {}
    void stop() override {}
    bool scrollDown() const override { return down; }
    bool scrollUp() const override { return false; }
    bool boostSpeed() const override { return boost; }
    double lastScrollDownTime() const override { return lastDown; }
    double lastScrollUpTime() const override { return 0; }

    bool down = false;
    bool boost = false;
    double lastDown = 0;
};

} // namespace bench
