#pragma once
// The definition tables of a portfolio's JSON form: for the header and for each item kind, every
// key with its JSON kind, the table column it is stored in and how, its window column, the code of
// a failed check and its flags. They are the JSON format of a portfolio and the layout of its tables.

#include <cstdint>
#include <span>
#include <string_view>

namespace zi {

struct TPortfolioJsonDefinition {
  std::string_view Name;    // the JSON key
  uint8_t JsonKind;         // TAttributeType of json_document.h
  std::string_view Column;  // empty: not stored
  uint8_t ColumnType;       // how the value is written: 1 text, 3 integer, 6 float
  std::string_view Caption;
  int32_t Width;
  uint8_t AlignRight;
  int32_t ErrorCode;
  uint8_t Flags;
};
using TPortfolioJsonDefinitions = std::span<const TPortfolioJsonDefinition>;

// Flags.
inline constexpr uint8_t kDefAccepted = 0x01;  // A
inline constexpr uint8_t kDefRequired = 0x02;  // R
inline constexpr uint8_t kDefColumn = 0x04;    // C
inline constexpr uint8_t kDefParent = 0x08;    // P: taken from the owner, never from input
inline constexpr uint8_t kDefKey = 0x10;       // K: merge key
inline constexpr uint8_t kDefSummed = 0x20;    // S
inline constexpr uint8_t kDefSheet = 0x40;     // V
inline constexpr uint8_t kDefEditor = 0x80;    // E

// The item kinds.
enum TPortfolioItemKind : int {
  pikTvm = 0,
  pikIra = 1,
  pikInquilino = 2,
  pikIrc = 3,
  pikIva = 4,
  pikIvc = 5,
  pikTerreno = 6,
};
inline constexpr int kPortfolioItemKinds = 7;

struct TPortfolioKindInfo {
  std::string_view jsonKey;
  std::string_view table;
  std::string_view label;
};
const TPortfolioKindInfo& PortfolioKindInfo(int kind);

TPortfolioJsonDefinitions PortfolioHeaderDefinitions();
TPortfolioJsonDefinitions PortfolioItemDefinitions(int kind);

// The definition of a key in a table; nullptr when it has none.
const TPortfolioJsonDefinition* FindDefinition(TPortfolioJsonDefinitions definitions, std::string_view name);

}  // namespace zi
