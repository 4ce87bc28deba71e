#pragma once
// JSON documents of the import. A document keeps the text it was built from; its members (object)
// or items (array) are split when it is built, and each value is decoded only when it is first
// reached, so a large array of records costs one pass over its text until a record is visited, and
// a record that does not decode spoils only itself. Strings are Windows-1252 inside and UTF-8 in the
// text; member names stay the bytes of the text. Building a document never raises: a text that is
// no object or array gives an invalid document that says why.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "import/regular_file.h"

namespace zi {

// The type of a decoded value.
enum TJsonAttributeType : uint8_t {
  atInvalid = 0,         // the value's text did not decode: its payload is an invalid document saying why
  atNull = 1,            // JSON null, and what an absent value reads as
  atStringInBuffer = 2,  // a string of the document's text
  atStringOwned = 3,     // a string set by the program
  atNumber = 4,
  atBoolean = 5,
  atObject = 6,
  atArray = 7,
};
const char* JsonAttributeTypeName(TJsonAttributeType type);

// The kinds HasKind tests; the holdings' key definitions store these numbers.
enum TAttributeType {
  jatInvalid = 0,
  jatNull = 1,
  jatString = 2,
  jatNumber = 3,
  jatBoolean = 4,
  jatDate = 5,
  jatObject = 6,
  jatArray = 7,
};

class EInvalidJson : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EInvalidJsonObject : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EInvalidJsonArray : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EInvalidJsonAttributeType : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TAbstractJson;
class TJsonObject;
class TJsonArray;

// How a document's texts are split into members and items. The tokeniser indexes a whole text at
// once and checks its UTF-8 on the way; a text it refuses is split again by the plain scanner, whose
// reasons (and the positions in them) are those the document reports. Both give the same document
// for every text: splitting with the plain scanner alone is there to compare the two.
enum class TJsonSplitting { Tokeniser, PlainScanner };

// Bytes a reader leaves free after a document's text, so that the tokeniser may read past its end
// without the text being copied.
inline constexpr size_t kJsonTextSpare = 64;

// Memory for the values, member lists and strings of one document and the documents built within
// it, taken in blocks that never move and freed all at once with the last of those documents: a
// value stays where it is for as long as its document lives, whatever is added or removed beside it.
// It runs no destructors; what it holds is trivially destructible or freed by its document.
class TJsonArena {
 public:
  TJsonArena() = default;
  TJsonArena(const TJsonArena&) = delete;
  TJsonArena& operator=(const TJsonArena&) = delete;

  void* Allocate(size_t size, size_t align);
  template <class T>
  T* AllocateArray(size_t count) {
    return static_cast<T*>(Allocate(count * sizeof(T), alignof(T)));
  }
  // A copy of the bytes that lives as long as the arena.
  std::string_view Copy(std::string_view bytes);

 private:
  std::vector<std::unique_ptr<std::byte[]>> blocks_;
  std::byte* next_ = nullptr;
  size_t left_ = 0;
  size_t blockSize_ = 4096;
};

// The text a document keeps, shared with the documents built within it, and their arena.
struct TJsonText {
  std::string bytes;
  TJsonSplitting splitting = TJsonSplitting::Tokeniser;
  // The tokeniser accepted the whole text: every string in it is UTF-8 and every value in it well
  // formed, so the values within are split by the plain scanner, which splits such texts alike,
  // without tokenising them again.
  bool validUtf8 = false;
  TJsonArena arena;
};

// Nested documents deeper than this are invalid values rather than a risk to the stack.
inline constexpr int kMaxJsonDepth = 512;

// Longer member names do not split.
inline constexpr size_t kMaxJsonNameSize = UINT32_MAX;

// One member or item, in its document's arena; 48 bytes, as there are millions of them in a file.
struct TJsonSlot {
  struct TChars {
    const char* data;
    size_t size;
  };
  std::string_view source;  // the value's text in the document's text; empty for a value the program set
  const char* nameData = nullptr;  // a member's name, unescaped (in the text, or in the arena)
  uint32_t nameSize = 0;
  TJsonAttributeType type = atNull;
  bool decoded = false;
  // A number or string whose text is already what writing it would give: it is written as it came.
  bool writtenAsRead = false;
  // The name is its token's text without the quotes, so the token is written as it came.
  bool plainName = false;
  union {
    long double number = 0;
    bool boolean;
    TChars string;         // Windows-1252, for both string types: in the text, or in the arena
    TAbstractJson* child;  // an object, an array or (atInvalid) the invalid document; owned by the slot's document
  };
  std::string_view Name() const { return {nameData, nameSize}; }
  void SetName(std::string_view name) {
    nameData = name.data();
    nameSize = static_cast<uint32_t>(name.size());
  }
  std::string_view String() const { return {string.data, string.size}; }
};

// The members or items of a document: pointers to slots, so that a slot never moves when another is
// added or removed. Both live in the arena.
class TJsonSlots {
 public:
  size_t Size() const { return count_; }
  TJsonSlot& operator[](size_t index) const { return *at_[index]; }
  // The slots split from a text, in one piece of the arena.
  void Assign(TJsonArena& arena, const std::vector<TJsonSlot>& slots);
  TJsonSlot& Append(TJsonArena& arena, const TJsonSlot& slot);
  void Erase(size_t index);

 private:
  TJsonSlot** at_ = nullptr;
  size_t count_ = 0;
  size_t capacity_ = 0;
};

// A value of a document, or nothing. It points at its value's slot, which stays where it is while
// the document lives; a value removed from its document reads as null.
class TJsonAttribute {
 public:
  TJsonAttribute() = default;
  explicit TJsonAttribute(TJsonSlot* slot) : slot_(slot) {}

  bool Exists() const { return slot_ != nullptr; }
  TJsonAttributeType AttributeType() const { return slot_ ? slot_->type : atNull; }
  bool IsNull() const { return AttributeType() == atNull; }
  bool IsString() const { return AttributeType() == atStringInBuffer || AttributeType() == atStringOwned; }
  bool IsNumber() const { return AttributeType() == atNumber; }
  bool IsBoolean() const { return AttributeType() == atBoolean; }
  bool IsObject() const { return AttributeType() == atObject; }
  bool IsArray() const { return AttributeType() == atArray; }
  bool IsInvalidValue() const { return AttributeType() == atInvalid; }
  // The value is invalid, or an object or array that holds an invalid value at any depth.
  bool ContainsInvalid() const;

  // The value of that type; any other raises EInvalidJsonAttributeType. A string lives as long as
  // its document.
  std::string_view AsString() const;
  long double AsNumber() const;
  bool AsBoolean() const;
  TJsonObject& AsObject() const;
  TJsonArray& AsArray() const;
  // Why an invalid value did not decode.
  std::string InvalidReason() const;

 private:
  void Expect(bool matches, TJsonAttributeType expected) const;
  TJsonSlot* slot_ = nullptr;
};

class TAbstractJson {
 public:
  virtual ~TAbstractJson();
  TAbstractJson(const TAbstractJson&) = delete;
  TAbstractJson& operator=(const TAbstractJson&) = delete;

  // The document a text holds; the text is taken over (and copied only when it has less than
  // kJsonTextSpare bytes of room behind it). Never raises.
  static std::unique_ptr<TAbstractJson> CreateFromString(std::string text,
                                                         TJsonSplitting splitting = TJsonSplitting::Tokeniser);
  // The document a file holds. Without retry a missing or unreadable file reads as an empty text;
  // with retry a file that cannot be read is tried again 11 times before the document is invalid.
  static std::unique_ptr<TAbstractJson> CreateFromFile(const std::string& path, bool retry);

  bool IsObject() const;
  bool IsArray() const;
  // The document as an array; another kind raises std::bad_cast.
  TJsonArray& AsArray();
  TJsonObject& AsObject();
  // An invalid document, or one that holds an invalid value at any depth (values are decoded up to
  // the first invalid one).
  virtual bool IsInvalid();

  // Compact JSON text, appended to out. Values not reached yet are decoded first; an array none of
  // whose items was reached is written as the text it was built from.
  void SaveToStream(std::string& out);
  std::string AsText();
  // Replaces the file by the text through a flushed temporary beside it, so that it is either as it
  // was or complete; its mode, owner and links stay as they were (RewriteFile). With expected, a
  // file no longer the one read is left alone. Raises std::runtime_error on failure.
  void SaveToFile(const std::string& path, const TFileIdentity* expected = nullptr);
  // A new document from this one's text, of the same class.
  std::unique_ptr<TAbstractJson> Clone();

  // The message of an invalid document; empty for the others.
  virtual const std::string& InvalidMessage() const;

  // The documents a document builds within itself live in its arena: deleting one ends it there,
  // and its memory goes with the arena. Any other is freed as usual.
  static void operator delete(TAbstractJson* document, std::destroying_delete_t);

 protected:
  TAbstractJson(std::shared_ptr<TJsonText> text, int depth) : text_(std::move(text)), depth_(depth) {}

  virtual char OpenText() const = 0;
  virtual char CloseText() const = 0;
  size_t SlotCount() const { return slots_.Size(); }
  TJsonSlot& Slot(size_t index) { return slots_[index]; }

  // Decodes a slot the first time it is reached.
  TJsonSlot& Reached(TJsonSlot& slot);
  void DecodeString(TJsonSlot& slot);
  // The slot's own text when writing it gives that text again (a member from its name's quote).
  std::string_view WrittenAsRead(TJsonSlot& slot, bool named);
  void WriteValue(std::string& out, TJsonSlot& slot, const TTextSink* sink);
  // With a sink, what was written goes to it whenever it has grown large.
  void Save(std::string& out, const TTextSink* sink);
  // Frees what the slot's value holds and leaves it null.
  static void FreeValue(TJsonSlot& slot);
  // The slots split from a text, gathered before they are placed in the arena at once.
  static std::vector<TJsonSlot>& Gathered();
  void TakeGathered(std::vector<TJsonSlot>& gathered);
  // Splits an object's or array's text into its slots: the plain scanner within a document whose
  // UTF-8 is known, else the tokeniser, and the scanner again for a text the tokeniser refuses.
  template <class TContainer>
  static void Split(TContainer& container, std::string_view source, int depth);

  // Bytes from a text of the document to the end of the room its buffer has.
  size_t Readable(std::string_view within) const;
  // The size of the text the document was built from; 0 for one the program made.
  virtual size_t SourceSize() const = 0;

  std::shared_ptr<TJsonText> text_;  // shared with the documents built within it
  int depth_;
  TJsonSlots slots_;  // members or items, in document order
  bool inArena_ = false;

  friend class TJsonAttribute;
};

class TJsonObject : public TAbstractJson {
 public:
  // An object without members; forceEmpty false raises EInvalidJsonObject.
  static std::unique_ptr<TJsonObject> CreateEmpty(bool forceEmpty);
  // Splits an object's text (from "{"); a text that does not split raises EInvalidJsonObject.
  TJsonObject(std::shared_ptr<TJsonText> text, std::string_view source, int depth);

  int Count() const { return static_cast<int>(slots_.Size()); }
  std::string NameAt(int index) const;
  // The first member of that name, compared byte for byte; -1 when there is none.
  int IndexOf(std::string_view name) const;
  // The member at an index (nothing when out of range), decoded.
  TJsonAttribute Item(int index);
  std::optional<TJsonAttribute> Find(std::string_view name);

  bool Delete(std::string_view name);
  bool DeleteAt(int index);
  // Removes the first member of that name; its document (an object, array or invalid value) goes to
  // kept instead of being freed.
  bool Extract(std::string_view name, std::unique_ptr<TAbstractJson>* kept = nullptr);

  // Every member of the name is removed and one is appended; an empty name, or one longer than
  // kMaxJsonNameSize, adds nothing (-1).
  int AddNull(std::string_view name);
  int AddString(std::string_view name, std::string value);
  // A missing number (a quiet NaN) leaves the member null.
  int AddNumber(std::string_view name, long double value);
  int AddBoolean(std::string_view name, bool value);
  // The object takes the document over; none leaves the member null.
  int AddObject(std::string_view name, std::unique_ptr<TJsonObject> object);
  int AddArray(std::string_view name, std::unique_ptr<TJsonArray> array);

  // Tolerant reads: false (and nothing read) for a missing member or one of another type.
  bool TryGetString(std::string_view name, std::string& value);
  bool TryGetArray(std::string_view name, TJsonArray*& value);
  // A number member, or a string member whose whole text (leading spaces allowed) is a decimal number.
  bool TryGetNumber(std::string_view name, long double& value);
  // TryGetNumber rounded to the nearest integer (halves to even); a number beyond 32 bits is not found.
  bool TryGetInteger(std::string_view name, int32_t& value);
  std::string GetString(std::string_view name, bool& found);
  TJsonArray* GetArray(std::string_view name, bool& found);
  long double GetNumber(std::string_view name, bool& found);
  int32_t GetInteger(std::string_view name, bool& found);
  // Rounded and kept to 16 bits; 0 when not found.
  uint16_t GetWord(std::string_view name, bool& found);

 protected:
  char OpenText() const override { return '{'; }
  char CloseText() const override { return '}'; }
  size_t SourceSize() const override { return source_.size(); }

 private:
  friend class TAbstractJson;
  int Append(std::string_view name, TJsonSlot slot);
  // A member's name from its token: the token's own bytes when it holds no escape.
  bool ReadName(std::string_view token, bool utf8Known, TJsonSlot& slot);
  // Splits with the tokeniser into members; false for a text it refuses.
  bool SplitTokenised(std::string_view source, std::vector<TJsonSlot>& members);
  // Splits with the plain scanner; raises EInvalidJsonObject for a text that does not split.
  void SplitPlain(std::string_view source, std::vector<TJsonSlot>& members);
  std::string_view source_;  // the object's own text, as far as its closing bracket
};

class TJsonArray : public TAbstractJson {
 public:
  static std::unique_ptr<TJsonArray> CreateEmpty(bool forceEmpty);
  // Splits an array's text (from "["); a text that does not split raises EInvalidJsonArray.
  TJsonArray(std::shared_ptr<TJsonText> text, std::string_view source, int depth);

  int Count() const { return static_cast<int>(slots_.Size()); }
  TJsonAttribute Item(int index);
  // The item as an object; nullptr (found false) for another type.
  TJsonObject* GetObject(int index, bool& found);

  int AddNull();
  int AddObject(std::unique_ptr<TJsonObject> object);
  bool DeleteAt(int index);

 protected:
  char OpenText() const override { return '['; }
  char CloseText() const override { return ']'; }
  size_t SourceSize() const override { return source_.size(); }

 private:
  friend class TAbstractJson;
  bool SplitTokenised(std::string_view source, std::vector<TJsonSlot>& items);
  void SplitPlain(std::string_view source, std::vector<TJsonSlot>& items);
  std::string_view source_;  // the array's own text, written again while no item was reached
  bool reached_ = false;
};

class TInvalidJson : public TAbstractJson {
 public:
  explicit TInvalidJson(std::string message) : TAbstractJson(nullptr, 0), message_(std::move(message)) {}
  bool IsInvalid() override { return true; }
  const std::string& InvalidMessage() const override { return message_; }

 protected:
  char OpenText() const override { throw EInvalidJson(message_); }
  char CloseText() const override { throw EInvalidJson(message_); }
  size_t SourceSize() const override { return 0; }

 private:
  std::string message_;
};

// Whether the object has a member of that name holding a value of the kind; a date is a string of
// exactly 10 characters, YYYY?MM?DD with one separator that is neither digit nor letter, naming a
// day that has a day number.
bool HasKind(TJsonObject& object, std::string_view name, TAttributeType kind);

}  // namespace zi
