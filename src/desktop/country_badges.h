#pragma once
// The country pictures of the current-object box and the pickers: a small badge per country id
// with the country's two-letter code on a colour of its own, made once and kept. Country 9 (none)
// and ids outside 0..79 get a plain grey badge.

#include <QPixmap>

namespace zi::desktop {

inline constexpr int kBadgeWidth = 22;
inline constexpr int kBadgeHeight = 14;

const QPixmap& CountryBadge(int pais);

}  // namespace zi::desktop
