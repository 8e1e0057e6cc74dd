#pragma once

#include <functional>
#include <string>

namespace ui {

/// Text shared with other programs: the system's clipboard (cut, copy and paste) and, on X11,
/// its primary selection (what is selected now, pasted with the middle mouse button). The host
/// connects both to the system (host::DesktopIntegration, through QClipboard); without it
/// each keeps its text in memory, which is what tests see. Main thread only.
class Pasteboard {
public:
    /// The clipboard.
    static Pasteboard& generalPasteboard();
    /// The primary selection.
    static Pasteboard& selectionPasteboard();

    /// The text it holds now; empty when it holds none (or no text).
    std::string string() const;
    void setString(const std::string& text);

    /// Connects it to the system: read answers the system's text, write hands it text. Null
    /// handlers go back to the memory of its own.
    void setHandlers(std::function<std::string()> read, std::function<void(const std::string&)> write);

private:
    std::string m_text;
    std::function<std::string()> m_read;
    std::function<void(const std::string&)> m_write;
};

} // namespace ui
