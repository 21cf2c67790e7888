// What the frozen vectors cannot reach: index sums that wrap more than once,
// password lengths the key slots refuse, and the registered-extension rules.
// The alphabets, the CRC and the key schedule themselves are pinned by
// frozen_vectors_test.cc.

#include <gtest/gtest.h>

#include <string>

#include "engine/crypter.h"

namespace velmora {
namespace {

TEST(TablesTest, IndexSumsWrapForAnyKeyAndBadPasswordsChangeNothing) {
  Crypter crypter;
  EXPECT_EQ(crypter.AddMod(5, -7), 65492);
  EXPECT_EQ(crypter.AddMod(65493, 1), 0);
  EXPECT_EQ(crypter.AddMod(0, -65535), 65494 - 41);

  ASSERT_EQ(crypter.SetPassword(std::u16string(1020, u'x')), 0);
  EXPECT_EQ(crypter.SetPassword(u""), -1);
  EXPECT_EQ(crypter.SetPassword(std::u16string(1021, u'x')), -1);
  EXPECT_EQ(crypter.m_nPasswordLen, 1020);
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
