#include "desktop/country_badges.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <map>

#include "desktop/forms.h"
#include "session/reference_data.h"

namespace zi::desktop {

namespace {

constexpr int kNoCountry = 9;
constexpr int kCountries = 80;

// complete is false for a country whose code is not known yet (before the login's lists).
QPixmap MakeBadge(int pais, bool& complete) {
  const bool known = pais >= 0 && pais < kCountries && pais != kNoCountry;
  // Painting never reads the server: before the login's lists there is no code to show yet.
  tIntStgList& codes = Listas().EnumPaisCod;
  const QString code = known && codes.Lido() ? ToQt(codes.TextoDoId(pais, false)) : QString();
  complete = !known || !code.isEmpty();
  QPixmap badge(kBadgeWidth, kBadgeHeight);
  // Hues spread by the golden angle, so that neighbouring ids never look alike.
  badge.fill(known ? QColor::fromHsv((pais * 137) % 360, 110, 200) : QColor(0xD0, 0xD0, 0xD0));
  QPainter painter(&badge);
  painter.setPen(QColor(0x60, 0x60, 0x60));
  painter.drawRect(0, 0, kBadgeWidth - 1, kBadgeHeight - 1);
  QFont font = painter.font();
  font.setPixelSize(kBadgeHeight - 4);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(badge.rect(), Qt::AlignCenter, code);
  painter.end();
  return badge;
}

}  // namespace

const QPixmap& CountryBadge(int pais) {
  static std::map<int, QPixmap> badges;
  static QPixmap incomplete;
  if (auto it = badges.find(pais); it != badges.end()) return it->second;
  bool complete = false;
  QPixmap badge = MakeBadge(pais, complete);
  if (!complete) return incomplete = badge;
  return badges.emplace(pais, std::move(badge)).first->second;
}

}  // namespace zi::desktop
