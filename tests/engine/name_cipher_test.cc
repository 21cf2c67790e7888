// The enciphered-name format, its round trips and its refusals, and the key
// and extension rules it rests on.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/alphabet.h"
#include "engine/crypter.h"
#include "platform/wtf8.h"

namespace velmora {
namespace {

class NameCipherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    crypter_.set_listed_extensions(ListedExtensions::kHeadOnly);
    crypter_.SetPassword(u"password");
  }
  // The converted name; last_ keeps the whole conversion.
  std::u16string Encrypt(std::u16string_view name) {
    last_ = crypter_.ConvertName(name, Direction::kEncrypt);
    return last_.target;
  }
  std::u16string Decrypt(std::u16string_view name) {
    last_ = crypter_.ConvertName(name, Direction::kDecrypt);
    return last_.target;
  }
  // The error of converting |name|.
  NameError EncryptError(std::u16string_view name) {
    Encrypt(name);
    return last_.error;
  }
  NameError DecryptError(std::u16string_view name) {
    Decrypt(name);
    return last_.error;
  }

  Crypter crypter_;
  NameConversion last_;
};

TEST_F(NameCipherTest, AwkwardNamesRoundTripThroughTheirBytesOnDisk) {
  std::u16string long_password;
  for (int i = 0; i < 1020; ++i) long_password.push_back(char16_t(0x3042 + i % 80));
  for (const std::u16string& password : {std::u16string(u"password"), long_password}) {
    crypter_.SetPassword(password);
    for (const std::u16string& plain : {
             std::u16string(u"a"),
             std::u16string(u"\u3042\u3044\u3046.txt"),
             std::u16string(u"\U0001F600 pair.txt"),
             std::u16string(u"lone \xD800 high"),
             std::u16string(u"trailing dot. "),
             std::u16string(u"\u00BFmarked but ends a"),
             std::u16string(u"\uFFFE"),
         }) {
      const std::u16string cipher = Encrypt(plain);
      ASSERT_EQ(last_.error, NameError::kNone) << Wtf8FromUtf16(plain);
      EXPECT_TRUE(crypter_.IsEncryptedName(cipher));
      EXPECT_EQ(Decrypt(Utf16FromWtf8(Wtf8FromUtf16(cipher))), plain);
      EXPECT_EQ(last_.error, NameError::kNone);
    }
  }
}

TEST_F(NameCipherTest, EncryptionRefusals) {
  for (const char16_t* name : {u"\u00BFx!", u"\u00BFx#", u"\u00BFx$", u"\u00BFx ", u"\u00BFx."}) {
    EXPECT_EQ(EncryptError(name), NameError::kAlreadyEncrypted);
    EXPECT_EQ(last_.target, u"");
  }
  // Names that could not come back as they are: leading white space is
  // stripped on the way back, and units outside the alphabet become spaces.
  for (const std::u16string& name :
       {std::u16string(u"  notes.txt"), std::u16string(u"\u3000x"), std::u16string(u"a:b"),
        std::u16string(u"a?b"), std::u16string(u"a\rb"), std::u16string(u"a\xFFFF"),
        Utf16FromWtf8("\x83\x65\x83\x58.txt")}) {
    EXPECT_EQ(EncryptError(name), NameError::kUnrepresentable) << Wtf8FromUtf16(name);
  }
  // Most enciphered units take 3 bytes on disk, so NAME_MAX bites long
  // before 260 units: every name produced fits, and the first refusal is 5.
  int first_refused = 0;
  for (int length = 1; length <= 257 && first_refused == 0; ++length) {
    const std::u16string cipher = Encrypt(std::u16string(length, u'n'));
    if (last_.error == NameError::kNameTooLong)
      first_refused = length;
    else
      EXPECT_LE(Wtf8FromUtf16(cipher).size(), kMaxNameBytes);
  }
  EXPECT_GT(first_refused, 8);
  EXPECT_EQ(EncryptError(std::u16string(256, u'n')), NameError::kNameTooLong);
  Crypter no_password;
  EXPECT_EQ(no_password.ConvertName(u"a.txt", Direction::kEncrypt).error,
            NameError::kBadRangeClass);
}

TEST_F(NameCipherTest, DecryptionRefusals) {
  EXPECT_EQ(DecryptError(u"\u00BFabcdefga"), NameError::kBadClassChar);
  EXPECT_EQ(DecryptError(u"plain.txt"), NameError::kNotEncrypted);
  EXPECT_EQ(DecryptError(u"x$"), NameError::kNotEncrypted);
  for (const char16_t* empty_body : {u"\u00BF", u"\u00BF$", u"\u00BFxy$"}) {
    EXPECT_EQ(DecryptError(empty_body), NameError::kBadName);
    EXPECT_EQ(last_.target, u"");
  }
  EXPECT_EQ(DecryptError(Utf16FromWtf8("\xC2\xBF\x83\x65\x83\x58$")), NameError::kBadName);
  // Plain names that merely look enciphered fail the seed check.
  EXPECT_EQ(DecryptError(u"\u00BFQu\u00E9 pasa?"), NameError::kWrongPassword);
}

TEST_F(NameCipherTest, WrongPasswordNeverYieldsAName) {
  std::mt19937 random(7);
  for (int length = 1; length <= 80; ++length) {
    std::u16string plain;
    for (int i = 0; i < length; ++i) plain.push_back(char16_t(u'a' + random() % 26));
    crypter_.SetPassword(u"password");
    const std::u16string cipher = Encrypt(plain);
    if (last_.error == NameError::kNameTooLong) break;
    for (const char16_t* wrong : {u"Password", u"passwore", u"pa", u"\u3042\u3044"}) {
      crypter_.SetPassword(wrong);
      EXPECT_EQ(Decrypt(cipher), u"") << length;
      // Code 7 only when the garbage happens to be blank.
      EXPECT_TRUE(last_.error == NameError::kWrongPassword || last_.error == NameError::kBadName);
    }
  }
}

// What the frozen vectors cannot reach: sums that wrap more than once and
// password lengths the key slots refuse.
TEST(KeyTest, IndexSumsWrapForAnyKeyAndBadPasswordsChangeNothing) {
  Crypter crypter;
  EXPECT_EQ(crypter.AddMod(5, -7), 65492);
  EXPECT_EQ(crypter.AddMod(65493, 1), 0);
  EXPECT_EQ(crypter.AddMod(0, -65535), 65494 - 41);

  ASSERT_EQ(crypter.SetPassword(std::u16string(1020, u'x')), KeyError::kNone);
  EXPECT_EQ(crypter.SetPassword(u""), KeyError::kBadLength);
  EXPECT_EQ(crypter.SetPassword(std::u16string(1021, u'x')), KeyError::kBadLength);
  EXPECT_EQ(crypter.keys().password().size(), 1020u);
  EXPECT_FALSE(CipherKeys::Make(u"").ok());
  EXPECT_EQ(CipherKeys::Make(u"").keys, nullptr);
}

// A copy of the engine shares the keys and owns its extension table.
TEST(KeyTest, CopiesShareTheKeysAndOwnTheirExtensions) {
  Crypter crypter;
  crypter.set_listed_extensions(ListedExtensions::kHeadOnly);
  const KeysResult made = CipherKeys::Make(u"password");
  ASSERT_TRUE(made.ok());
  crypter.UseKeys(made.keys);
  const Crypter copy = crypter;
  EXPECT_EQ(&copy.keys(), made.keys.get());
  crypter.SetExtension(0, u"TXT");
  EXPECT_EQ(crypter.ConvertName(u"a.txt", Direction::kEncrypt).range_class, RangeClass::kHead);
  EXPECT_EQ(copy.ConvertName(u"a.txt", Direction::kEncrypt).range_class, RangeClass::kWhole);
  crypter.DropKeys();
  EXPECT_TRUE(crypter.keys().empty());
  EXPECT_TRUE(copy.ConvertName(u"a.txt", Direction::kEncrypt).ok());
}

TEST(ExtensionTest, RegisteredExtensions) {
  Crypter crypter;  // the defaults as offered: tests/job/main_dialog_test.cc
  EXPECT_EQ(crypter.FindExtension(u"photo.jpg"), 5);
  EXPECT_EQ(crypter.FindExtension(u"a.tar.mpeg"), 8);
  for (const char16_t* name : {u"zip", u"file.zip ", u"file.", u"a.\uFF3AIP"}) {
    EXPECT_FALSE(crypter.FindExtension(name).has_value());
  }
  EXPECT_FALSE(crypter.SetExtension(0, u"ABCDEFGHIJ"));  // never past a slot
  ASSERT_TRUE(crypter.SetExtension(3, u""));
  EXPECT_FALSE(crypter.FindExtension(u"x.tgz").has_value());  // a gap ends the list
  ASSERT_TRUE(crypter.SetExtension(2, u"a*"));
  EXPECT_EQ(crypter.FindExtension(u"readme"), 2);
}

}  // namespace
}  // namespace velmora
