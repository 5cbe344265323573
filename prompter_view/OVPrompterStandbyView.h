#pragma once

#include "platform/appkit/Menu.h"
#include "platform/appkit/View.h"

#include <functional>
#include <memory>

// The view that covers a prompter's script while blanking is on. The prompter view makes one through
// a factory the output layer installs (the standby view with the chosen blanking image); without a
// factory a plain black cover stands in, which is all a prompter needs to hide its script.
class OVPrompterStandbyView : public View {
public:
    using Factory = std::function<std::unique_ptr<OVPrompterStandbyView>(const Rect& frame)>;
    static void setFactory(Factory factory);
    static std::unique_ptr<OVPrompterStandbyView> make(const Rect& frame);

    using View::View;

    bool isHorizontallyFlipped() const { return m_horizontallyFlipped; }
    virtual void setHorizontallyFlipped(bool flipped) { m_horizontallyFlipped = flipped; }
    bool isVerticallyFlipped() const { return m_verticallyFlipped; }
    virtual void setVerticallyFlipped(bool flipped) { m_verticallyFlipped = flipped; }
    bool usesAnimation() const { return m_usesAnimation; }
    void setUsesAnimation(bool flag) { m_usesAnimation = flag; }
    // How long turning to a new flip takes as things stand; 0 when it turns at once.
    virtual double flipAnimationDuration() const { return 0; }
    // How the prompter view hides and shows it, so a subclass can let go of what it shows while
    // hidden.
    virtual void setStandbyHidden(bool hidden) { setHidden(hidden); }
    // The blanking choices this view offers; null when it offers none.
    virtual std::unique_ptr<Menu> menuWithSelectedDefault() { return nullptr; }

    void drawRect(QPainter& painter, const Rect& dirtyRect) override;
    bool isOpaque() const override { return true; }

private:
    bool m_horizontallyFlipped = false;
    bool m_verticallyFlipped = false;
    bool m_usesAnimation = true;
};
