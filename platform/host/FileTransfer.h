#pragma once

#include <memory>
#include <string>
#include <vector>

class QMimeData;

namespace host {

/// The local files a drop or a paste carries (file URLs only: a web address is not a file of
/// ours to read), as absolute paths in their order.
std::vector<std::string> localFiles(const QMimeData& data);

/// Files as a file manager or a chat program takes them from a drag or the clipboard: a URI
/// list, the file managers' "copy" list, and the paths as text.
std::unique_ptr<QMimeData> fileMimeData(const std::vector<std::string>& paths);

} // namespace host
