#pragma once

namespace ui {

class ScrollView;

/// What a scroll view tells its delegate; every operation is optional. Called on the main
/// thread, from inside the scroll view's handling of a touch, a wheel, a key or a frame.
class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    /// The content offset changed, by any means.
    virtual void scrollViewDidScroll(ScrollView& scrollView) { (void)scrollView; }
    /// A finger has moved far enough to drag the content.
    virtual void scrollViewWillBeginDragging(ScrollView& scrollView) { (void)scrollView; }
    /// The finger let go; decelerate tells whether the content goes on moving.
    virtual void scrollViewDidEndDragging(ScrollView& scrollView, bool decelerate)
    {
        (void)scrollView;
        (void)decelerate;
    }
    /// A fling or a bounce came to rest.
    virtual void scrollViewDidEndDecelerating(ScrollView& scrollView) { (void)scrollView; }
};

} // namespace ui
