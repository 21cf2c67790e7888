// Known answers for the alphabets, the class table, the CRC and the key
// schedule. Any change here changes both persistent formats.

#include <gtest/gtest.h>

#include <string>

#include "engine/alphabet.h"
#include "engine/crc32.h"
#include "engine/crypter.h"

namespace velmora {
namespace {

TEST(AlphabetTest, SizesAndFirstCharacters) {
  EXPECT_EQ(NameAlphabetSize(), 65494);
  EXPECT_EQ(CodeAlphabetSize(), 65492);
  EXPECT_EQ(NameCharAt(0), u' ');
  EXPECT_EQ(NameCharAt(1), u'!');
  EXPECT_EQ(NameCharAt(2), u'#');
  EXPECT_EQ(NameCharAt(12), u'.');
  EXPECT_EQ(CodeCharAt(0), u'!');
  EXPECT_EQ(CodeCharAt(1), u'#');
  EXPECT_EQ(CodeCharAt(2), u'$');
  // N x N still fits 32 bits.
  EXPECT_EQ(uint64_t{65494} * 65494, 4289464036u);
}

TEST(AlphabetTest, UnitsOutsideAnAlphabetMapToIndexZero) {
  for (char16_t unit : {u'*', u'?', u'\\', u'/', u':', u'|', u'\x01',
                        char16_t{0xFFFF}}) {
    EXPECT_EQ(NameIndexOf(unit), 0) << int(unit);
    EXPECT_FALSE(IsPermittedUnit(unit));
  }
  EXPECT_EQ(CodeIndexOf(u' '), 0);
  EXPECT_EQ(CodeIndexOf(u'.'), 0);
  // Surrogates, U+007F, private use and U+FFFE are permitted.
  for (char16_t unit : {char16_t{0xD800}, char16_t{0xDFFF}, char16_t{0x7F},
                        char16_t{0xE000}, char16_t{0xFFFE}}) {
    EXPECT_TRUE(IsPermittedUnit(unit)) << int(unit);
    EXPECT_EQ(NameCharAt(NameIndexOf(unit)), unit);
  }
  EXPECT_EQ(NameIndexOf(char16_t{0xFFFE}), 65493);
}

TEST(AlphabetTest, AddModWrapsBothWays) {
  Crypter crypter;
  EXPECT_EQ(crypter.AddMod(5, -7), 65492);
  EXPECT_EQ(crypter.AddMod(65493, 1), 0);
  EXPECT_EQ(crypter.AddMod(0, 65535), 41);
  EXPECT_EQ(crypter.AddMod(0, -65535), 65494 - 41);
}

TEST(ClassTableTest, ValidityUsesTheLow16Bits) {
  EXPECT_EQ(Crypter::IsValidClass(3), -1);
  EXPECT_EQ(Crypter::IsValidClass(0xFFFF), -1);
  EXPECT_EQ(Crypter::IsValidClass(0x10002), 0);
  Crypter crypter;
  EXPECT_EQ(crypter.SetClass(0x10001), 0);
  EXPECT_EQ(crypter.m_wClass, 1);
  EXPECT_EQ(crypter.GetRangeBytes(), 8192);
  EXPECT_EQ(crypter.SetClass(3), -1);
  EXPECT_EQ(crypter.m_wClass, 1);
  crypter.SetClass(2);
  EXPECT_EQ(crypter.GetRangeBytes(), 2146435072);
  crypter.SetClass(0);
  EXPECT_EQ(crypter.GetRangeBytes(), 0);
  EXPECT_EQ(crypter.IsUnsupportedClass(), 0);
}

TEST(CrcTest, KnownAnswers) {
  EXPECT_EQ(CrcTableEntry(1), 0x77073096u);
  EXPECT_EQ(CrcUpdate("abc", 3, 0xFFFFFFFFu), 0xCADBBE3Du);
  EXPECT_EQ(CrcUpdate("abc", 0, 0x12345678u), 0x12345678u);
  EXPECT_EQ(CrcUpdate("abc", -1, 0x12345678u), 0x12345678u);
}

TEST(CrcTest, KeyStreamViews) {
  EXPECT_EQ(KeyWord(0), 0x0000);
  EXPECT_EQ(KeyWord(1), 0x0000);
  EXPECT_EQ(KeyWord(2), 0x3096);
  EXPECT_EQ(KeyWord(3), 0x7707);
  EXPECT_EQ(KeyWord(0x202), KeyWord(2));
  EXPECT_EQ(KeyWord(0xFFFFFE02u), KeyWord(2));
  EXPECT_EQ(KeyByte(4), 0x96);
  EXPECT_EQ(KeyByte(5), 0x30);
  EXPECT_EQ(KeyByte(6), 0x07);
  EXPECT_EQ(KeyByte(7), 0x77);
  EXPECT_EQ(KeyByte(0x404), KeyByte(4));
}

TEST(KeyScheduleTest, BlockCountAndTerminatingSlot) {
  Crypter crypter;
  ASSERT_EQ(crypter.SetPassword(u"abcde"), 0);
  EXPECT_EQ(crypter.m_nPasswordLen, 5);
  EXPECT_EQ(crypter.m_nBlocks, 2);
  EXPECT_EQ(crypter.m_nameKeys[2], 0u);
  EXPECT_EQ(crypter.m_dataKeys[2], 0u);
  // The second block is 'e' and three zero units.
  const uint16_t e = u'e' & 0xAAAA;
  const uint8_t block[8] = {static_cast<uint8_t>(e), 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(crypter.m_nameKeys[1], CrcUpdate(block, 8, 0xFFFFFFFFu));

  ASSERT_EQ(crypter.SetPassword(std::u16string(1020, u'x')), 0);
  EXPECT_EQ(crypter.m_nBlocks, 255);
  EXPECT_EQ(crypter.m_nameKeys[255], 0u);
  EXPECT_EQ(crypter.m_dataKeys[255], 0u);
}

TEST(KeyScheduleTest, RefusesLengthsOutsideTheRangeAndKeepsTheOldKeys) {
  Crypter crypter;
  ASSERT_EQ(crypter.SetPassword(u"secret"), 0);
  const uint32_t key = crypter.m_nameKeys[0];
  EXPECT_EQ(crypter.SetPassword(u""), -1);
  EXPECT_EQ(crypter.SetPassword(std::u16string(1021, u'x')), -1);
  EXPECT_EQ(crypter.m_nameKeys[0], key);
  EXPECT_EQ(crypter.m_nPasswordLen, 6);
}

TEST(KeyScheduleTest, NameAndContentKeysUseComplementaryBits) {
  // 'a' (0x61) and 'c' (0x63) differ only in bit 1, an odd bit; 'a' and '`'
  // (0x60) only in bit 0, an even bit.
  Crypter a, odd, even;
  a.SetPassword(u"pass");
  odd.SetPassword(u"pcss");
  even.SetPassword(u"p`ss");
  EXPECT_NE(a.m_nameKeys[0], odd.m_nameKeys[0]);
  EXPECT_EQ(a.m_dataKeys[0], odd.m_dataKeys[0]);
  EXPECT_EQ(a.m_nameKeys[0], even.m_nameKeys[0]);
  EXPECT_NE(a.m_dataKeys[0], even.m_dataKeys[0]);
}

TEST(ExtensionTableTest, DefaultsAndMatching) {
  Crypter crypter;
  const char16_t* expected[] = {u"LZH", u"ZIP", u"RAR", u"CAB", u"TGZ",
                                u"JPG", u"AVI", u"MPG", u"MPEG", u"WMV"};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(crypter.GetExtension(i), expected[i]);
  for (int i = 10; i < kExtensionSlots; ++i) {
    EXPECT_EQ(crypter.GetExtension(i), u"");
  }
  EXPECT_EQ(crypter.FindExtension(u"photo.jpg"), 5);
  EXPECT_EQ(crypter.FindExtension(u"ARCHIVE.Zip"), 1);
  EXPECT_EQ(crypter.FindExtension(u"a.tar.mpeg"), 8);
  EXPECT_EQ(crypter.FindExtension(u"zip"), -1);
  EXPECT_EQ(crypter.FindExtension(u"file.zip "), -1);
  EXPECT_EQ(crypter.FindExtension(u"file."), -1);
  // Only A-Z fold: a full-width Ｚ is not z.
  EXPECT_EQ(crypter.FindExtension(u"a.\uFF3AIP"), -1);
}

TEST(ExtensionTableTest, WildcardMatchesEveryNameAndAGapEndsTheList) {
  Crypter crypter;
  EXPECT_FALSE(crypter.SetExtension(0, u"ABCDEFGHIJ"));
  EXPECT_EQ(crypter.GetExtension(0), u"LZH");
  ASSERT_TRUE(crypter.SetExtension(3, u""));
  EXPECT_EQ(crypter.FindExtension(u"x.tgz"), -1);  // after the gap
  ASSERT_TRUE(crypter.SetExtension(2, u"a*"));
  EXPECT_EQ(crypter.FindExtension(u"readme"), 2);
  EXPECT_EQ(crypter.FindExtension(u"x.zip"), 1);
}

}  // namespace
}  // namespace velmora
