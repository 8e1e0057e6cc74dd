#include "ui/ScrollIndicator.h"

#include "ui/Appearance.h"

#include <algorithm>

namespace ui {

ScrollIndicator::ScrollIndicator()
{
    setUserInteractionEnabled(false);
    setAlpha(0);
}

void ScrollIndicator::drawRect(gfx::Context& context, const gfx::Rect&)
{
    const gfx::Rect bar = bounds();
    const float radius = std::min(bar.width(), bar.height()) / 2;
    context.fillPath(roundedRectPath(bar, radius), gfx::Color::rgba(0, 0, 0, 0.45f));
}

} // namespace ui
