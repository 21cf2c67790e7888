// Crypter: the cipher engine, over the keys of a run (CipherKeys) and the
// user's extension table.
//
// It enciphers file names (a marker, two seed characters, the enciphered
// body and a class character) and file contents (an additive byte cipher in
// 1 MiB chunks over the range the class records). Both formats are
// persistent: trees enciphered by one run are deciphered by another.
//
// Use: BuildAlphabets() once; keys (CipherKeys) before each run; then, per
// entry, ConvertName(), whose result carries both names and any error; a
// file's contents go through TransformBuffer() under the journal
// (state/journaled_transform.h). Nothing is thrown.
//
// Setting the keys or the extensions is not thread-safe; converting names
// and contents is.
#ifndef VELMORA_ENGINE_CRYPTER_H_
#define VELMORA_ENGINE_CRYPTER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/cipher_keys.h"
#include "engine/direction.h"

namespace velmora {

// Why a name could not be converted. The values are the problem codes
// users see and index the run's per-code settings: never renumber them.
enum class NameError : int32_t {
  kNone = 0,
  kWrongPassword = 1,    // deciphered name fails its check
  kUnrepresentable = 2,  // name could not come back as is
  kBadClassChar = 3,
  kAlreadyEncrypted = 4,
  kNameTooLong = 5,
  kNotEncrypted = 6,
  kBadName = 7,
  kUnsupportedClass = 8,
  kBadRangeClass = 9,
};
constexpr int kNameErrorCount = 10;

constexpr int32_t ProblemCode(NameError error) { return static_cast<int32_t>(error); }

// How much of the contents is enciphered; the value is the class character's
// code index in an enciphered name.
enum class RangeClass : uint16_t {
  kNameOnly = 0,
  kHead = 1,   // first 8192 bytes
  kWhole = 2,  // whole file, up to kWholeRangeBytes
};

constexpr int32_t kHeadRangeBytes = 8192;
constexpr int32_t kWholeRangeBytes = 0x7FF00000;  // 2047 MiB
constexpr int32_t kChunkBytes = 1048576;
constexpr int32_t kMaxPathUnits = 260;
constexpr std::size_t kMaxNameBytes = 255;  // NAME_MAX on Linux
constexpr int kExtensionSlots = 256;
constexpr int kExtensionSlotUnits = 10;  // 9 characters and a terminator

// Bytes of the content range of |range_class|.
int32_t RangeBytes(RangeClass range_class);

// Which range class a plain name whose extension is registered gets.
enum class ListedExtensions : uint32_t {
  kWhole = 0,     // like every other file
  kHeadOnly = 1,  // the first kHeadRangeBytes only
};

// One name converted: |source| as given, |target| its converted form (empty
// when |error| is not kNone) and the range class the enciphered side names.
struct NameConversion {
  std::u16string source;
  std::u16string target;
  RangeClass range_class = RangeClass::kNameOnly;
  NameError error = NameError::kNone;

  bool ok() const { return error == NameError::kNone; }
  int32_t range_bytes() const { return RangeBytes(range_class); }
};

// The vectors the content cipher runs on: the widest the processor has,
// or one named by a test or a benchmark. Every width gives the same bytes.
enum class CipherWidth { kWidest, kBaseline, kAvx2, kAvx512 };
bool CipherWidthSupported(CipherWidth width);

constexpr char16_t kMarker = 0x00BF;  // INVERTED QUESTION MARK

class Crypter {
 public:
  Crypter();
  // A copy shares the keys and has its own extension table: the walk's
  // helper reads its copy while the user's settings stay the owner's.
  Crypter(const Crypter&) = default;
  Crypter& operator=(const Crypter&) = default;

  // --- Tables -------------------------------------------------------------
  // Fills the alphabet sizes. Idempotent.
  void BuildAlphabets();
  // Residue of (index + key) modulo the name-alphabet size.
  uint16_t AddMod(uint16_t index, int32_t key) const;

  // --- Key schedule -------------------------------------------------------
  // Converts with |keys| from now on (never null).
  void UseKeys(std::shared_ptr<const CipherKeys> keys) { keys_ = std::move(keys); }
  // The keys of |password|, used from now on; on an error nothing changes.
  KeyError SetPassword(std::u16string_view password);
  // Lets the keys go (wiped once no copy holds them any more); nothing can
  // be converted until the next keys.
  void DropKeys() { keys_ = CipherKeys::None(); }
  const CipherKeys& keys() const { return *keys_; }

  // --- Registered extensions ----------------------------------------------
  // Slot text, empty past the end of the list.
  std::u16string GetExtension(int slot) const;
  // Writes slot |slot|; false (nothing written) when |text| has more than 9
  // units or the slot is out of range.
  bool SetExtension(int slot, std::u16string_view text);
  // Index of the first slot matching |name|'s extension (case-insensitive
  // for A-Z; a slot holding '*' matches every name), if any.
  std::optional<int> FindExtension(std::u16string_view name) const;
  // What a registered extension means for a file's range class.
  void set_listed_extensions(ListedExtensions rule) { listed_extensions_ = rule; }
  // Range class for a plain name under that rule.
  RangeClass ClassifyName(std::u16string_view name) const;

  // --- Names --------------------------------------------------------------
  // True when |name| has the form of an enciphered name.
  bool IsEncryptedName(std::u16string_view name) const;

  // Converts |name| in |direction|; changes nothing, so one crypter may
  // convert on several threads at once.
  NameConversion ConvertName(std::u16string_view name, Direction direction) const;

  // --- Contents -----------------------------------------------------------
  // Enciphers or deciphers, as |direction| says, |count| bytes in place;
  // |offset| is the file position of buffer[0], anywhere in the file (the
  // buffer may span chunks); |size| the file size. Safe from several
  // threads at once. |width|, when supported, names the vectors it runs on.
  void TransformBuffer(Direction direction, uint8_t* buffer, int32_t count, int32_t offset,
                       int32_t size, CipherWidth width = CipherWidth::kWidest) const;

 private:
  bool HasMarker(std::u16string_view name) const;
  std::u16string PickMarker(uint32_t crc) const;
  NameConversion EncryptName(std::u16string_view plain) const;
  NameConversion DecryptName(std::u16string_view cipher) const;
  // The error of |cipher|'s form (marker, bytes, class) and of a missing
  // key schedule; kNone when it may be deciphered.
  NameError CipherNameError(std::u16string_view cipher) const;

  int32_t name_alphabet_ = 0;
  int32_t code_alphabet_ = 0;
  ListedExtensions listed_extensions_ = ListedExtensions::kWhole;
  char16_t markers_[2][kExtensionSlotUnits] = {};
  char16_t extensions_[kExtensionSlots][kExtensionSlotUnits] = {};
  std::shared_ptr<const CipherKeys> keys_ = CipherKeys::None();
};

}  // namespace velmora

#endif  // VELMORA_ENGINE_CRYPTER_H_
