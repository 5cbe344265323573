#include "prompter_view/OVPrompterStandbyView.h"

#include "platform/appkit/RectFunctions.h"

namespace {

OVPrompterStandbyView::Factory& factory()
{
    static OVPrompterStandbyView::Factory made;
    return made;
}

} // namespace

void OVPrompterStandbyView::setFactory(Factory made)
{
    factory() = std::move(made);
}

std::unique_ptr<OVPrompterStandbyView> OVPrompterStandbyView::make(const Rect& frame)
{
    if (factory())
        return factory()(frame);
    return std::make_unique<OVPrompterStandbyView>(frame);
}

void OVPrompterStandbyView::drawRect(QPainter& painter, const Rect& dirtyRect)
{
    painter.fillRect(toQRectF(dirtyRect), Qt::black);
}
