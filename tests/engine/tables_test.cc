// Known answers for the alphabets, the class table, the CRC and the key
// schedule. Any change here changes both persistent formats.

#include <gtest/gtest.h>

#include <string>

#include "engine/alphabet.h"
#include "engine/crc32.h"
#include "engine/crypter.h"

namespace velmora {
namespace {

TEST(TablesTest, AlphabetsAndTheirMaps) {
  EXPECT_EQ(NameAlphabetSize(), 65494);
  EXPECT_EQ(CodeAlphabetSize(), 65492);
  EXPECT_EQ(NameCharAt(0), u' ');
  EXPECT_EQ(NameCharAt(12), u'.');
  EXPECT_EQ(std::u16string({CodeCharAt(0), CodeCharAt(1), CodeCharAt(2)}), u"!#$");
  // Units outside an alphabet read as its first character.
  for (char16_t unit : {u'*', u'?', u'\\', u'/', u'|', u'\x01', char16_t{0xFFFF}}) {
    EXPECT_EQ(NameIndexOf(unit), 0) << int(unit);
  }
  EXPECT_EQ(CodeIndexOf(u' '), 0);
  EXPECT_EQ(CodeIndexOf(u'.'), 0);
  for (char16_t unit : {char16_t{0xD800}, char16_t{0x7F}, char16_t{0xE000}}) {
    EXPECT_EQ(NameCharAt(NameIndexOf(unit)), unit);
  }
  EXPECT_EQ(NameIndexOf(char16_t{0xFFFE}), 65493);

  Crypter crypter;
  EXPECT_EQ(crypter.AddMod(5, -7), 65492);
  EXPECT_EQ(crypter.AddMod(65493, 1), 0);
  EXPECT_EQ(crypter.AddMod(0, -65535), 65494 - 41);
}

TEST(TablesTest, RangeClasses) {
  EXPECT_EQ(Crypter::IsValidClass(3), -1);
  EXPECT_EQ(Crypter::IsValidClass(0xFFFF), -1);
  EXPECT_EQ(Crypter::IsValidClass(0x10002), 0);  // only the low 16 bits count
  Crypter crypter;
  const int32_t bytes[] = {0, 8192, 2146435072};
  for (uint16_t range_class = 0; range_class < 3; ++range_class) {
    ASSERT_EQ(crypter.SetClass(range_class), 0);
    EXPECT_EQ(crypter.GetRangeBytes(), bytes[range_class]);
  }
  EXPECT_EQ(crypter.SetClass(3), -1);
  EXPECT_EQ(crypter.m_wClass, 2);
}

TEST(TablesTest, CrcAndKeyStream) {
  EXPECT_EQ(CrcTableEntry(1), 0x77073096u);
  EXPECT_EQ(CrcUpdate("abc", 3, 0xFFFFFFFFu), 0xCADBBE3Du);
  EXPECT_EQ(CrcUpdate("abc", 0, 0x12345678u), 0x12345678u);
  EXPECT_EQ((std::u16string{KeyWord(0), KeyWord(1), KeyWord(2), KeyWord(3)}),
            (std::u16string{0, 0, 0x3096, 0x7707}));
  EXPECT_EQ(KeyWord(0x202), KeyWord(2));
  EXPECT_EQ((std::string{char(KeyByte(4)), char(KeyByte(5)), char(KeyByte(6)),
                         char(KeyByte(7))}),
            "\x96\x30\x07\x77");
  EXPECT_EQ(KeyByte(0x404), KeyByte(4));
}

TEST(TablesTest, KeySchedule) {
  Crypter crypter;
  ASSERT_EQ(crypter.SetPassword(u"abcde"), 0);
  EXPECT_EQ(crypter.m_nBlocks, 2);
  EXPECT_EQ(crypter.m_nameKeys[2], 0u);
  // The second block is 'e' and three zero units.
  const uint8_t block[8] = {uint8_t(u'e' & 0xAAAA), 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(crypter.m_nameKeys[1], CrcUpdate(block, 8, 0xFFFFFFFFu));

  ASSERT_EQ(crypter.SetPassword(std::u16string(1020, u'x')), 0);
  EXPECT_EQ(crypter.m_nBlocks, 255);
  EXPECT_EQ(crypter.m_dataKeys[255], 0u);
  // Lengths the key slots cannot hold are refused and change nothing.
  EXPECT_EQ(crypter.SetPassword(u""), -1);
  EXPECT_EQ(crypter.SetPassword(std::u16string(1021, u'x')), -1);
  EXPECT_EQ(crypter.m_nPasswordLen, 1020);

  // 'a'/'c' differ in an odd bit, 'a'/'`' in an even one: names take the
  // odd bits, contents the even ones.
  Crypter a, odd, even;
  a.SetPassword(u"pass");
  odd.SetPassword(u"pcss");
  even.SetPassword(u"p`ss");
  EXPECT_NE(a.m_nameKeys[0], odd.m_nameKeys[0]);
  EXPECT_EQ(a.m_dataKeys[0], odd.m_dataKeys[0]);
  EXPECT_EQ(a.m_nameKeys[0], even.m_nameKeys[0]);
  EXPECT_NE(a.m_dataKeys[0], even.m_dataKeys[0]);
}

TEST(TablesTest, RegisteredExtensions) {
  Crypter crypter;
  std::u16string defaults;
  for (int slot = 0; slot < kExtensionSlots; ++slot) {
    defaults += crypter.GetExtension(slot) + u",";
  }
  EXPECT_EQ(defaults.substr(0, 45), u"LZH,ZIP,RAR,CAB,TGZ,JPG,AVI,MPG,MPEG,WMV,,,,,");
  EXPECT_EQ(crypter.FindExtension(u"photo.jpg"), 5);
  EXPECT_EQ(crypter.FindExtension(u"a.tar.mpeg"), 8);
  for (const char16_t* name : {u"zip", u"file.zip ", u"file.", u"a.\uFF3AIP"}) {
    EXPECT_EQ(crypter.FindExtension(name), -1);
  }
  EXPECT_FALSE(crypter.SetExtension(0, u"ABCDEFGHIJ"));  // never past a slot
  ASSERT_TRUE(crypter.SetExtension(3, u""));
  EXPECT_EQ(crypter.FindExtension(u"x.tgz"), -1);  // a gap ends the list
  ASSERT_TRUE(crypter.SetExtension(2, u"a*"));
  EXPECT_EQ(crypter.FindExtension(u"readme"), 2);
}

}  // namespace
}  // namespace velmora
