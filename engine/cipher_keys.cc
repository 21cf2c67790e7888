#include "engine/cipher_keys.h"

#include <string.h>

#include <algorithm>

#include "engine/alphabet.h"
#include "engine/crc32.h"
#include "platform/secret_memory.h"

namespace velmora {

KeysResult CipherKeys::Make(std::u16string_view password) {
  if (password.empty() || password.size() > kMaxPasswordUnits) {
    return {nullptr, KeyError::kBadLength};
  }
  auto keys = std::allocate_shared<CipherKeys>(LockedAllocator<CipherKeys>(), Token{});
  keys->Derive(password);
  return {std::move(keys), KeyError::kNone};
}

std::shared_ptr<const CipherKeys> CipherKeys::None() {
  // A fresh empty value each time, rather than one shared by the process.
  return std::make_shared<CipherKeys>(Token{});
}

CipherKeys::~CipherKeys() {
  explicit_bzero(password_, sizeof password_);
  explicit_bzero(name_keys_, sizeof name_keys_);
  explicit_bzero(data_keys_, sizeof data_keys_);
  explicit_bzero(key_stream_, sizeof key_stream_);
  explicit_bzero(password_bytes_, sizeof password_bytes_);
  explicit_bzero(name_stream_, sizeof name_stream_);
}

void CipherKeys::Derive(std::u16string_view password) {
  std::copy(password.begin(), password.end(), password_);
  length_ = static_cast<int32_t>(password.size());
  blocks_ = (length_ + 3) / 4;
  for (int32_t k = 0; k < blocks_; ++k) {
    uint8_t name_bytes[8];
    uint8_t data_bytes[8];
    for (int u = 0; u < 4; ++u) {
      const char16_t unit = password_[4 * k + u];
      const uint16_t name_part = unit & 0xAAAA;
      const uint16_t data_part = unit & 0x5555;
      const std::size_t at = 2 * static_cast<std::size_t>(u);
      name_bytes[at] = static_cast<uint8_t>(name_part);
      name_bytes[at + 1] = static_cast<uint8_t>(name_part >> 8);
      data_bytes[at] = static_cast<uint8_t>(data_part);
      data_bytes[at + 1] = static_cast<uint8_t>(data_part >> 8);
    }
    name_keys_[k] = CrcUpdate(name_bytes, 8, 0xFFFFFFFFu);
    data_keys_[k] = CrcUpdate(data_bytes, 8, 0xFFFFFFFFu);
    explicit_bzero(name_bytes, sizeof name_bytes);
    explicit_bzero(data_bytes, sizeof data_bytes);
  }
  DeriveStreams();
}

void CipherKeys::DeriveStreams() {
  for (uint32_t t = 0; t < 1024; ++t) {
    uint8_t sum = 0;
    for (int32_t j = 0; j < blocks_; ++j) sum += KeyByte(data_keys_[j] + t);
    key_stream_[t] = sum;
    key_stream_[t + 1024] = sum;
  }
  // Adding the terms one by one modulo n, as a name's units are
  // defined, is the same as adding their sum modulo n.
  const auto n = static_cast<uint32_t>(NameAlphabetSize());
  for (uint32_t t = 0; t < 512; ++t) {
    uint32_t sum = 0;
    for (int32_t j = 0; j < blocks_; ++j) sum += KeyWord(name_keys_[j] + t);
    name_stream_[t] = static_cast<uint16_t>(sum % n);
  }
  for (int32_t c = 0; c < length_ + 1024; ++c) {
    password_bytes_[c] = static_cast<uint8_t>(password_[c % length_] & 0xFF);
  }
}

}  // namespace velmora
