#pragma once

namespace gfx {

/// A colour in device RGB: red, green, blue and alpha from 0 to 1, not premultiplied.
/// Components outside 0–1 are clamped when drawn.
struct Color {
    float red { 0 };
    float green { 0 };
    float blue { 0 };
    float alpha { 1 };

    static Color rgba(float r, float g, float b, float a = 1) { return { r, g, b, a }; }
    /// A grey of the given white level.
    static Color grey(float white, float a = 1) { return { white, white, white, a }; }
    static Color black() { return grey(0); }
    static Color white() { return grey(1); }
    static Color clear() { return { 0, 0, 0, 0 }; }

    /// The same colour with alpha multiplied by factor.
    Color withAlphaFactor(float factor) const { return { red, green, blue, alpha * factor }; }
    /// The colour at fraction t of the way from this one to other, component by component.
    Color interpolated(const Color& other, float t) const;

    friend bool operator==(const Color&, const Color&) = default;
};

} // namespace gfx
