// Enciphered names and contents made by an earlier build and checked in.
// They must decipher here byte for byte, and enciphering the plain side must
// reproduce them: no change may silently alter either persistent format.
//
// tests/data/frozen_names.txt:    password-hex  plain-hex  cipher-hex
// tests/data/frozen_contents.txt: password-hex  size  offset  plain-hex  cipher-hex
// Names and passwords are UTF-16LE in hex, contents raw bytes in hex.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/crypter.h"

namespace velmora {
namespace {

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::u16string Utf16FromHex(const std::string& hex) {
  const std::vector<uint8_t> bytes = FromHex(hex);
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  return text;
}

std::vector<std::vector<std::string>> ReadRows(const std::string& file) {
  std::ifstream in(std::string(VELMORA_TEST_DATA_DIR) + "/" + file);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::vector<std::string> row;
    std::string field;
    while (fields >> field) row.push_back(field == "-" ? "" : field);
    rows.push_back(row);
  }
  return rows;
}

TEST(FrozenVectorsTest, Names) {
  const auto rows = ReadRows("frozen_names.txt");
  ASSERT_GE(rows.size(), 10u);
  Crypter crypter;
  crypter.set_listed_extensions(ListedExtensions::kHeadOnly);
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 3u);
    crypter.SetPassword(Utf16FromHex(row[0]));
    const std::u16string plain = Utf16FromHex(row[1]);
    const std::u16string cipher = Utf16FromHex(row[2]);
    EXPECT_EQ(crypter.ConvertName(cipher, Direction::kDecrypt).target, plain) << row[2];
    EXPECT_EQ(crypter.ConvertName(plain, Direction::kEncrypt).target, cipher) << row[1];
  }
}

TEST(FrozenVectorsTest, Contents) {
  const auto rows = ReadRows("frozen_contents.txt");
  ASSERT_GE(rows.size(), 5u);
  Crypter crypter;
  // Bytes past a chunk's first 8192 are only reached by the whole-file
  // class; each password must have some pinned there.
  std::map<std::string, int> past_head;
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 5u);
    crypter.SetPassword(Utf16FromHex(row[0]));
    const int32_t size = std::stoi(row[1]);
    const int32_t offset = std::stoi(row[2]);
    past_head[row[0]] += offset % kChunkBytes >= kHeadRangeBytes;
    const std::vector<uint8_t> plain = FromHex(row[3]);
    const std::vector<uint8_t> cipher = FromHex(row[4]);
    std::vector<uint8_t> bytes = cipher;
    crypter.TransformBuffer(Direction::kDecrypt, bytes.data(),
                            static_cast<int32_t>(bytes.size()), offset, size);
    EXPECT_EQ(bytes, plain);
    crypter.TransformBuffer(Direction::kEncrypt, bytes.data(),
                            static_cast<int32_t>(bytes.size()), offset, size);
    EXPECT_EQ(bytes, cipher);
  }
  for (const auto& [password, count] : past_head) EXPECT_GE(count, 5) << password;
}

}  // namespace
}  // namespace velmora
