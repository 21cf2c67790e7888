// Crypter: the one cipher engine of the process.
//
// It enciphers file names (a marker, two seed characters, the enciphered
// body and a class character) and file contents (an additive byte cipher in
// 1 MiB chunks over the range the class records). Both formats are
// persistent: trees enciphered by one run are deciphered by another.
//
// Use: BuildAlphabets() once; SetPassword() before each run; then, per
// entry, SetDirectory() and ConvertName(), check m_nError; a file's
// contents go through TransformBuffer() under the journal
// (state/journaled_transform.h). Failures are reported only through
// m_nError (name conversion) and return values; nothing is thrown.
//
// Not thread-safe: one thread at a time runs a job against it.
#ifndef VELMORA_ENGINE_CRYPTER_H_
#define VELMORA_ENGINE_CRYPTER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/text_sink.h"

namespace velmora {

// Name conversion error codes (m_nError).
constexpr int32_t ERR_NONE = 0;
constexpr int32_t ERR_WRONG_PASSWORD = 1;   // deciphered name fails its check
constexpr int32_t ERR_UNREPRESENTABLE = 2;  // name could not come back as is
constexpr int32_t ERR_BAD_CLASS_CHAR = 3;
constexpr int32_t ERR_ALREADY_ENCRYPTED = 4;
constexpr int32_t ERR_NAME_TOO_LONG = 5;
constexpr int32_t ERR_NOT_ENCRYPTED = 6;
constexpr int32_t ERR_BAD_NAME = 7;
constexpr int32_t ERR_UNSUPPORTED_CLASS = 8;
constexpr int32_t ERR_BAD_RANGE_CLASS = 9;

// Range classes: how much of the contents is enciphered.
constexpr uint16_t RANGE_NAME_ONLY = 0;
constexpr uint16_t RANGE_HEAD = 1;   // first 8192 bytes
constexpr uint16_t RANGE_WHOLE = 2;  // whole file, up to kWholeRangeBytes

constexpr int32_t kHeadRangeBytes = 8192;
constexpr int32_t kWholeRangeBytes = 0x7FF00000;  // 2047 MiB
constexpr int32_t kChunkBytes = 1048576;
constexpr int32_t kMaxPathUnits = 260;
constexpr std::size_t kMaxNameBytes = 255;  // NAME_MAX on Linux
constexpr int32_t kMaxPasswordUnits = 1020;
constexpr int kExtensionSlots = 256;
constexpr int kExtensionSlotUnits = 10;  // 9 characters and a terminator

// Operations.
constexpr uint32_t OP_ENCRYPT = 0;
constexpr uint32_t OP_DECRYPT = 1;

constexpr char16_t kMarker = 0x00BF;  // INVERTED QUESTION MARK

class Crypter {
 public:
  Crypter();
  Crypter(const Crypter&) = delete;
  Crypter& operator=(const Crypter&) = delete;

  // --- Tables -------------------------------------------------------------
  // Fills the alphabet sizes. Idempotent.
  void BuildAlphabets();
  // Residue of (index + key) modulo the name-alphabet size.
  uint16_t AddMod(uint16_t index, int32_t key) const;
  // Bytes of the content range of m_wClass, and its unsupported flag.
  int32_t GetRangeBytes() const;
  int32_t IsUnsupportedClass() const;
  // 0 when the low 16 bits of |value| name a class, else -1. SetClass also
  // stores it in m_wClass when valid.
  static int32_t IsValidClass(uint32_t value);
  int32_t SetClass(uint32_t value);

  // --- Key schedule -------------------------------------------------------
  // Builds the block keys from |password| (1 to 1020 units). Returns 0, or
  // -1 (and changes nothing) for a length outside that range.
  int32_t SetPassword(std::u16string_view password);
  // Overwrites the password and everything derived from it; nothing can be
  // converted until the next SetPassword().
  void WipeKeys();
  // Takes |other|'s keys, extensions and extension rule: converts names as
  // |other| does, on another thread than |other|'s.
  void CopyKeysFrom(const Crypter& other);

  // --- Registered extensions ----------------------------------------------
  // Slot text, empty past the end of the list.
  std::u16string GetExtension(int slot) const;
  // Writes slot |slot|; false (nothing written) when |text| has more than 9
  // units or the slot is out of range.
  bool SetExtension(int slot, std::u16string_view text);
  // Index of the first slot matching |name|'s extension (case-insensitive
  // for A-Z; a slot holding '*' matches every name), or -1.
  int FindExtension(std::u16string_view name) const;
  // Range class for a plain name under the extension rule m_nExtMode.
  uint16_t ClassifyName(std::u16string_view name) const;

  // --- Names --------------------------------------------------------------
  // Marker index when |name| has the form of an enciphered name, else -1.
  int IsEncryptedName(std::u16string_view name) const;
  int FindMarker() const;
  std::u16string PickMarker(uint32_t crc) const;
  uint16_t GetNameClass() const;

  void SetDirectory(std::u16string_view directory);
  std::u16string GetDirectory() const { return m_strDirectory; }
  // Converts |name| (0 = encrypt, 1 = decrypt) and records the name pair.
  // Returns the converted name, or empty with m_nError set.
  std::u16string ConvertName(std::u16string_view name, uint32_t operation);
  std::u16string EncryptName();
  std::u16string DecryptName();
  std::u16string GetSourceName() const;
  std::u16string GetTargetName() const;
  std::u16string GetSourcePath() const;
  std::u16string GetTargetPath() const;

  // --- Contents -----------------------------------------------------------
  // Enciphers (m_nOperation 0) or deciphers (1) |count| bytes in place;
  // |offset| is the file position of buffer[0], anywhere in the file (the
  // buffer may span chunks); |size| the file size.
  void TransformBuffer(uint8_t* buffer, int32_t count, int32_t offset, int32_t size) const;
  // The same in the direction |operation| (OP_ENCRYPT or OP_DECRYPT),
  // whatever m_nOperation says; safe from several threads at once.
  void TransformBufferAs(uint32_t operation, uint8_t* buffer, int32_t count, int32_t offset,
                         int32_t size) const;
  // Writes the progress line of the file being transformed: |done| of
  // |size| bytes.
  void ShowProgress(int64_t done, int32_t size) const;
  // The same for the entry |source| -> |target| in |directory|, whatever
  // the converted names are.
  void ShowProgressOf(const std::u16string& directory, const std::u16string& source,
                      const std::u16string& target, int64_t done, int32_t size) const;

  // --- State (read by the job; written only through the operations above,
  // except m_nExtMode and m_pStatusWnd, which the owner sets) ---------------
  uint32_t m_nOperation = 0;
  int32_t m_nError = 0;
  uint16_t m_wClass = 0;
  std::u16string m_strPlainName;
  std::u16string m_strCipherName;
  std::u16string m_strDirectory;
  char16_t m_szPassword[1024] = {};
  TextSink* m_pStatusWnd = nullptr;
  int32_t m_nPasswordLen = 0;
  int32_t m_nBlocks = 0;
  uint32_t m_nameKeys[256] = {};
  uint32_t m_dataKeys[256] = {};
  int32_t m_nNameAlphabet = 0;
  int32_t m_nCodeAlphabet = 0;
  uint32_t m_nExtMode = 0;
  char16_t m_markers[2][kExtensionSlotUnits] = {};
  char16_t m_extensions[kExtensionSlots][kExtensionSlotUnits] = {};

 private:
  // The error code of m_strCipherName's form (marker, bytes, class) and of
  // a missing key schedule; ERR_NONE when it may be deciphered. Sets the
  // class from the name.
  int32_t CipherNameError();

  // Derived from the password by SetPassword so that both ciphers cost the
  // same for every password length. For contents: the key-stream term summed
  // over all blocks for each of the 1024 positions (repeated once so a run
  // of up to 1023 bytes reads it without wrapping), and the low bytes of
  // the password repeated likewise.
  uint8_t m_keyStream[2048] = {};
  uint8_t m_passwordBytes[kMaxPasswordUnits + 1024] = {};
  // The name cipher's key term summed over all blocks, modulo the name
  // alphabet, for each of the 512 positions it depends on.
  uint16_t m_nameStream[512] = {};
};

// The process-wide engine.
Crypter& TheCrypter();

}  // namespace velmora

#endif  // VELMORA_ENGINE_CRYPTER_H_
