#include "ui/Pasteboard.h"

namespace ui {

Pasteboard& Pasteboard::generalPasteboard()
{
    static Pasteboard pasteboard;
    return pasteboard;
}

Pasteboard& Pasteboard::selectionPasteboard()
{
    static Pasteboard pasteboard;
    return pasteboard;
}

std::string Pasteboard::string() const
{
    return m_read ? m_read() : m_text;
}

void Pasteboard::setString(const std::string& text)
{
    if (m_write)
        m_write(text);
    else
        m_text = text;
}

void Pasteboard::setHandlers(std::function<std::string()> read, std::function<void(const std::string&)> write)
{
    m_read = std::move(read);
    m_write = std::move(write);
}

} // namespace ui
