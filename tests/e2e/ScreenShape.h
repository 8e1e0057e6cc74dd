#pragma once

// What a screen's layout must keep when the screen grows: facts read off the views at the
// designed 320 × 480 and compared with the same views at another size.

#include "ui/Label.h"
#include "ui/Screen.h"
#include "ui/ScrollView.h"
#include "ui/View.h"
#include "graphics/Font.h"

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace e2e {

class ScreenShape {
public:
    struct ViewFacts {
        gfx::Rect shown; // the part on screen, in window coordinates, after the ancestors' clipping
        bool outside { false };
        bool onRightEdge { false };
        bool onBottomEdge { false };
        float roomBeside { 0 };
        bool cut { false };
        bool clipped { false };
        bool scrolled { false };
    };

    static ScreenShape read(const ui::View& window)
    {
        ScreenShape shape;
        shape.m_screen = ui::Screen::mainScreen().bounds();
        shape.collect(window, window, std::nullopt);
        return shape;
    }

    /// What went wrong between the designed screen (base) and this one: views that left the
    /// screen, views that came to overlap a sibling, views that stopped reaching an edge they
    /// reached (unless centred), and labels cut short while the room beside them grew.
    std::vector<std::string> problemsAgainst(const ScreenShape& base) const
    {
        std::vector<std::string> problems;
        for (const auto& [view, facts] : m_views) {
            auto was = base.m_views.find(view);
            if (was == base.m_views.end())
                continue;
            const ViewFacts& before = was->second;
            const std::string name = describe(*view);
            if (facts.outside && !before.outside)
                problems.push_back(name + " leaves the screen");
            const gfx::Rect super = view->superview() ? view->superview()->convertRectToView(view->superview()->bounds(), nullptr) : m_screen;
            const gfx::Rect frame = view->convertRectToView(view->bounds(), nullptr);
            const bool centredAcross = std::abs(frame.midX() - super.midX()) < 1;
            const bool centredDown = std::abs(frame.midY() - super.midY()) < 1;
            // Only a view that reached the edge by its own layout, not by clipping, and whose
            // superview still reaches it (a centred group takes its views along).
            auto parent = view->superview() ? m_views.find(view->superview()) : m_views.end();
            const bool parentRight = parent == m_views.end() || parent->second.onRightEdge;
            const bool parentBottom = parent == m_views.end() || parent->second.onBottomEdge;
            if (!before.clipped && !before.scrolled && before.onRightEdge && !facts.onRightEdge && !centredAcross && parentRight)
                problems.push_back(name + " no longer reaches the right edge");
            if (!before.clipped && !before.scrolled && before.onBottomEdge && !facts.onBottomEdge && !centredDown && parentBottom)
                problems.push_back(name + " no longer reaches the bottom edge");
            if (facts.cut && facts.roomBeside > before.roomBeside + 1)
                problems.push_back(name + " is cut short with room beside it");
        }
        for (const auto& pair : m_overlaps)
            if (!base.m_overlaps.count(pair) && base.m_views.count(pair.first) && base.m_views.count(pair.second))
                problems.push_back(describe(*pair.first) + " overlaps " + describe(*pair.second));
        return problems;
    }

private:
    static std::string describe(const ui::View& view)
    {
        std::string name = typeid(view).name();
        if (auto* label = dynamic_cast<const ui::Label*>(&view))
            name += " \"" + label->text() + "\"";
        const gfx::Rect f = view.convertRectToView(view.bounds(), nullptr);
        name += " at " + std::to_string(int(f.x())) + "," + std::to_string(int(f.y())) + " " + std::to_string(int(f.width())) + "x" + std::to_string(int(f.height()));
        if (view.superview())
            name += std::string(" in ") + typeid(*view.superview()).name();
        return name;
    }

    static bool labelIsCut(const ui::Label& label)
    {
        if (label.text().empty())
            return false;
        const float width = label.bounds().width();
        const gfx::Font font = label.fittedFont();
        if (label.lineBreakMode() == gfx::LineBreakMode::WordWrap || label.lineBreakMode() == gfx::LineBreakMode::CharacterWrap) {
            const auto lines = font.layoutText(label.text(), width, label.lineBreakMode(), 0);
            return label.numberOfLines() != 0 && int(lines.size()) > label.numberOfLines();
        }
        return font.widthOfText(label.text()) > width + 0.5f;
    }

    // Room from the label's right edge to its superview's, or to the nearest sibling on its right
    // that shares some of its height.
    static float roomBeside(const ui::View& view)
    {
        const ui::View* super = view.superview();
        if (!super)
            return 0;
        const gfx::Rect frame = view.frame();
        float right = super->bounds().width();
        for (const auto& sibling : super->subviews()) {
            if (sibling.get() == &view || sibling->isHidden() || sibling->alpha() <= 0)
                continue;
            const gfx::Rect other = sibling->frame();
            if (other.minX() >= frame.maxX() - 0.5f && other.minY() < frame.maxY() && other.maxY() > frame.minY())
                right = std::min(right, other.minX());
        }
        return std::max(0.0f, right - frame.maxX());
    }

    void collect(const ui::View& view, const ui::View& window, std::optional<gfx::Rect> clip)
    {
        if (view.isHidden() || view.alpha() <= 0)
            return;
        gfx::Rect frame = view.convertRectToView(view.bounds(), nullptr);
        gfx::Rect shown = clip ? frame.intersection(*clip) : frame;
        if (&view != &window && shown.width() > 0.5f && shown.height() > 0.5f) {
            ViewFacts facts;
            facts.shown = shown;
            facts.clipped = shown != frame;
            // Content in a scroll view ends where it ends, whatever the screen's size.
            for (const ui::View* up = view.superview(); up && !facts.scrolled; up = up->superview())
                facts.scrolled = dynamic_cast<const ui::ScrollView*>(up) != nullptr;
            facts.outside = shown.minX() < m_screen.minX() - 0.5f || shown.minY() < m_screen.minY() - 0.5f
                || shown.maxX() > m_screen.maxX() + 0.5f || shown.maxY() > m_screen.maxY() + 0.5f;
            facts.onRightEdge = std::abs(shown.maxX() - m_screen.maxX()) < 0.5f;
            facts.onBottomEdge = std::abs(shown.maxY() - m_screen.maxY()) < 0.5f;
            if (auto* label = dynamic_cast<const ui::Label*>(&view)) {
                facts.cut = labelIsCut(*label);
                facts.roomBeside = roomBeside(view);
            }
            m_views[&view] = facts;
        }
        if (shown.isEmpty() && &view != &window)
            return;
        std::optional<gfx::Rect> inner = clip;
        if (view.clipsToBounds())
            inner = inner ? inner->intersection(frame) : frame;
        std::vector<const ui::View*> children;
        for (const auto& child : view.subviews()) {
            collect(*child, window, inner);
            if (m_views.count(child.get()))
                children.push_back(child.get());
        }
        for (size_t i = 0; i < children.size(); ++i)
            for (size_t j = i + 1; j < children.size(); ++j) {
                const gfx::Rect both = m_views[children[i]].shown.intersection(m_views[children[j]].shown);
                if (both.width() > 0.5f && both.height() > 0.5f)
                    m_overlaps.insert({ children[i], children[j] });
            }
    }

    gfx::Rect m_screen;
    std::map<const ui::View*, ViewFacts> m_views;
    std::set<std::pair<const ui::View*, const ui::View*>> m_overlaps;
};

} // namespace e2e
