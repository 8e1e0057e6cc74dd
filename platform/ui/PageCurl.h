#pragma once

namespace ui {

/// The geometry of a page rolled up around a cylinder, seen from straight above: what the
/// page curl transitions draw, kept apart from drawing so that it can be checked by numbers.
///
/// Everything is measured along the curl, in points, from the edge that lifts first (the
/// page's bottom edge for a curl up). The cylinder lies on the page with its axis across it
/// at the line position; the page between the lifting edge and the line is wound over the
/// cylinder: a stretch s = line − distance of it bends through the angle s / radius, and what
/// lies beyond half a turn lies flat, upside down, on top at twice the radius. Seen from
/// above, every position of the screen shows exactly one layer, which layerAt() answers.
///
/// The line moves from 0 (the page flat and whole) to past the far edge by the radius and
/// the shadow's width, so that at both ends of the animation nothing of the curl is left.
class PageCurl {
public:
    /// What the screen shows at one position.
    enum class Layer {
        /// The page beneath, uncovered.
        Beneath,
        /// The page, flat and unmoved.
        Flat,
        /// The page's front side on the cylinder (its first quarter turn).
        Front,
        /// The page's back side on the cylinder (the second quarter turn).
        Back,
        /// The page's back side lying flat on top, past half a turn.
        BackFlat,
    };

    struct Sample {
        Layer layer { Layer::Beneath };
        /// For the page's layers, the distance from the lifting edge of the page point shown
        /// there (the source row); for Beneath, the position itself.
        float distance { 0 };
        /// Light on the surface shown, 0 (black) to 1 (unshaded): a surface turned away from
        /// the viewer is darker. 1 for the flat layers.
        float light { 1 };
        /// Darkening of the page beneath by the roll's shadow, 0 (none) to kShadowAlpha.
        float shadow { 0 };
    };

    static constexpr float kShadowAlpha = 0.45f;

    /// A page length points long, rolled around a cylinder of the given radius; the shadow
    /// is as wide as the radius. A radius of 0 or less becomes a small positive one.
    PageCurl(float length, float radius);

    /// The radius a page of this size looks right with: an eighth of its length.
    static float radiusForLength(float length);

    float length() const { return m_length; }
    float radius() const { return m_radius; }
    float shadowWidth() const { return m_radius; }

    /// The cylinder line for progress 0 to 1 (clamped).
    float lineAt(float progress) const;
    /// Below this position (toward the lifting edge) the page beneath shows.
    float rolledStart(float line) const;
    /// Where the flat back part on top ends; line itself when none lies there yet.
    float backEnd(float line) const;
    /// Where the rolled page shows its front rather than its back: back on
    /// [rolledStart, frontStart), front on [frontStart, line).
    float frontStart(float line) const;
    /// What the screen shows at position (0 to length) with the line where it is.
    Sample layerAt(float position, float line) const;
    /// The rolled page at position, on the back (second quarter turn) or the front (first
    /// quarter turn) of the cylinder, whichever layerAt() would show there; for drawing in
    /// bands whose edges lie on the boundary between the two.
    Sample rolledAt(float position, float line, Layer side) const;

private:
    float m_length;
    float m_radius;
};

} // namespace ui
