// The keys of one run, derived once from its password and never changed
// after: every thread of the run reads the same value. They live in locked
// pages and are wiped when the last holder lets them go.
#ifndef VELMORA_ENGINE_CIPHER_KEYS_H_
#define VELMORA_ENGINE_CIPHER_KEYS_H_

#include <cstdint>
#include <memory>
#include <string_view>

namespace velmora {

constexpr int32_t kMaxPasswordUnits = 1020;

enum class KeyError {
  kNone,
  kBadLength,  // the password is empty or longer than kMaxPasswordUnits
};

class CipherKeys;

struct KeysResult {
  std::shared_ptr<const CipherKeys> keys;  // null unless error is kNone
  KeyError error = KeyError::kNone;

  bool ok() const { return error == KeyError::kNone; }
};

class CipherKeys {
 public:
  // The keys of |password| (1 to kMaxPasswordUnits units).
  static KeysResult Make(std::u16string_view password);
  // No password: names refuse to convert and contents stay as they are.
  static std::shared_ptr<const CipherKeys> None();

  ~CipherKeys();
  CipherKeys(const CipherKeys&) = delete;
  CipherKeys& operator=(const CipherKeys&) = delete;

  bool empty() const { return length_ == 0; }
  std::u16string_view password() const { return {password_, static_cast<std::size_t>(length_)}; }
  // Blocks of four password units, and the CRC keys of each.
  int32_t blocks() const { return blocks_; }
  uint32_t name_key(int32_t block) const { return name_keys_[block]; }
  uint32_t data_key(int32_t block) const { return data_keys_[block]; }

  // Derived so that both ciphers cost the same for every password length.
  // For contents: the key-stream term summed over all blocks for each of
  // the 1024 positions (repeated once so a run of up to 1023 bytes reads it
  // without wrapping), and the low bytes of the password repeated likewise.
  const uint8_t* key_stream() const { return key_stream_; }
  const uint8_t* password_bytes() const { return password_bytes_; }
  // The name cipher's key term summed over all blocks, modulo the name
  // alphabet, for each of the 512 positions it depends on.
  uint16_t name_stream(uint32_t position) const { return name_stream_[position & 511u]; }

 private:
  struct Token {};  // only Make() and None() construct

 public:
  explicit CipherKeys(Token) {}

 private:
  void Derive(std::u16string_view password);
  void DeriveStreams();

  char16_t password_[1024] = {};
  int32_t length_ = 0;
  int32_t blocks_ = 0;
  uint32_t name_keys_[256] = {};
  uint32_t data_keys_[256] = {};
  uint8_t key_stream_[2048] = {};
  uint8_t password_bytes_[kMaxPasswordUnits + 1024] = {};
  uint16_t name_stream_[512] = {};
};

}  // namespace velmora

#endif  // VELMORA_ENGINE_CIPHER_KEYS_H_
