#pragma once

#include <compare>

namespace ui {

/// A row of a table: its section and its row within the section, both from 0. Ordered by
/// section, then row.
struct IndexPath {
    int section { 0 };
    int row { 0 };

    friend auto operator<=>(const IndexPath&, const IndexPath&) = default;
    friend bool operator==(const IndexPath&, const IndexPath&) = default;
};

} // namespace ui
