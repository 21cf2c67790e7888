// The enciphered-name format, its refusals and its round trips.

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
    crypter_.m_nExtMode = 1;
    crypter_.SetPassword(u"password");
  }

  std::u16string Encrypt(std::u16string_view name) {
    return crypter_.ConvertName(name, OP_ENCRYPT);
  }
  std::u16string Decrypt(std::u16string_view name) {
    return crypter_.ConvertName(name, OP_DECRYPT);
  }

  Crypter crypter_;
};

TEST_F(NameCipherTest, ShortNameKnownAnswer) {
  for (const char16_t* password : {u"password", u"x\u3042", u"ab"}) {
    crypter_.SetPassword(password);
    const std::u16string cipher = Encrypt(u"a.txt");
    ASSERT_EQ(crypter_.m_nError, 0);
    ASSERT_EQ(cipher.size(), 12u);
    EXPECT_EQ(cipher[0], kMarker);
    EXPECT_EQ(cipher[1], char16_t{0x76D8});  // s0 = 30383
    EXPECT_EQ(cipher[2], char16_t{0x816A});  // s1 = 33089
    EXPECT_EQ(NameIndexOf(cipher[1]), 30383);
    EXPECT_EQ(NameIndexOf(cipher[2]), 33089);
    EXPECT_EQ(cipher[11], u'$');  // txt is not registered: whole file
    EXPECT_EQ(crypter_.m_wClass, RANGE_WHOLE);
    EXPECT_EQ(Decrypt(cipher), u"a.txt");
    EXPECT_EQ(crypter_.m_nError, 0);
    EXPECT_EQ(crypter_.m_wClass, RANGE_WHOLE);
  }
}

TEST_F(NameCipherTest, SameInputSameOutputAndCaseMatters) {
  const std::u16string first = Encrypt(u"report.txt");
  EXPECT_EQ(Encrypt(u"report.txt"), first);
  EXPECT_NE(Encrypt(u"Report.txt"), first);
}

TEST_F(NameCipherTest, ClassFollowsTheExtensionRule) {
  EXPECT_EQ(Encrypt(u"photo.jpg").back(), u'#');
  EXPECT_EQ(crypter_.m_wClass, RANGE_HEAD);
  EXPECT_EQ(Encrypt(u"readme").back(), u'$');
  crypter_.m_nExtMode = 0;
  EXPECT_EQ(Encrypt(u"photo.jpg").back(), u'$');
  crypter_.m_nExtMode = 1;
  crypter_.SetExtension(10, u"*");
  EXPECT_EQ(Encrypt(u"readme").back(), u'#');
}

TEST_F(NameCipherTest, RoundTripsOfAwkwardNames) {
  const std::u16string names[] = {
      u"a",
      u"\u3042\u3044\u3046.txt",
      u"\U0001F600 emoji pair.txt",
      std::u16string(u"lone \xD800 high"),
      std::u16string(u"lone \xDC00 low"),
      u"trailing space ",
      u"trailing dot.",
      u"\u00BFstarts with the marker a",
      u"multi.dot.name.tar.gz",
      u"\uFFFE",
  };
  for (const std::u16string& plain : names) {
    const std::u16string cipher = Encrypt(plain);
    ASSERT_EQ(crypter_.m_nError, 0) << Wtf8FromUtf16(plain);
    EXPECT_NE(crypter_.IsEncryptedName(cipher), -1);
    EXPECT_EQ(Utf16FromWtf8(Wtf8FromUtf16(cipher)), cipher);
    EXPECT_EQ(Decrypt(cipher), plain);
    EXPECT_EQ(crypter_.m_nError, 0);
  }
}

TEST_F(NameCipherTest, LongPasswordsRoundTrip) {
  std::u16string password;
  for (int i = 0; i < 1020; ++i) password.push_back(char16_t(0x3042 + i % 80));
  crypter_.SetPassword(password);
  const std::u16string cipher = Encrypt(u"notes.md");
  ASSERT_EQ(crypter_.m_nError, 0);
  EXPECT_EQ(Decrypt(cipher), u"notes.md");
}

TEST_F(NameCipherTest, AlreadyEncryptedNamesAreRefused) {
  for (char16_t last : {u'!', u'#', u'$', u' ', u'.'}) {
    std::u16string name = u"\u00BFname";
    name.push_back(last);
    EXPECT_EQ(Encrypt(name), u"");
    EXPECT_EQ(crypter_.m_nError, ERR_ALREADY_ENCRYPTED);
    EXPECT_EQ(crypter_.m_strCipherName, u"");
  }
}

TEST_F(NameCipherTest, NamesThatCouldNotComeBackAreRefused) {
  const std::u16string refused[] = {
      u"  notes.txt",        // leading spaces would be stripped
      u"\u3000ideographic",  // so would every other white space
      u"\tTab",
      u"a:b", u"a\\b", u"a*b", u"a?b", u"a\"b", u"a<b", u"a>b", u"a|b",
      u"carriage\rreturn",
      std::u16string(u"a\xFFFF"),
      Utf16FromWtf8("\x83\x65\x83\x58\x83\x67.txt"),  // Shift_JIS bytes
  };
  for (const std::u16string& name : refused) {
    EXPECT_EQ(Encrypt(name), u"") << Wtf8FromUtf16(name);
    EXPECT_EQ(crypter_.m_nError, ERR_UNREPRESENTABLE) << Wtf8FromUtf16(name);
  }
}

TEST_F(NameCipherTest, EncipheredNamesLongerThanNameMaxAreRefused) {
  // Most enciphered units take 3 bytes on disk, so the byte limit bites long
  // before the 260-unit one: every result that is produced fits, and the
  // first refusal is code 5.
  bool refused = false;
  for (int length = 1; length <= 257; ++length) {
    const std::u16string cipher = Encrypt(std::u16string(length, u'n'));
    if (crypter_.m_nError == 0) {
      EXPECT_FALSE(refused) << length;
      EXPECT_LE(Wtf8FromUtf16(cipher).size(), kMaxNameBytes);
      EXPECT_LE(cipher.size(), 260u);
    } else {
      EXPECT_EQ(crypter_.m_nError, ERR_NAME_TOO_LONG) << length;
      refused = true;
    }
  }
  EXPECT_TRUE(refused);
  Encrypt(std::u16string(256, u'n'));
  EXPECT_EQ(crypter_.m_nError, ERR_NAME_TOO_LONG);
  Encrypt(std::u16string(257, u'n'));
  EXPECT_EQ(crypter_.m_nError, ERR_NAME_TOO_LONG);
}

TEST_F(NameCipherTest, DecryptionRefusals) {
  Decrypt(u"\u00BFabcdefga");
  EXPECT_EQ(crypter_.m_nError, ERR_BAD_CLASS_CHAR);
  for (const char16_t* name : {u"plain.txt", u"x$", u"a!"}) {
    Decrypt(name);
    EXPECT_EQ(crypter_.m_nError, ERR_NOT_ENCRYPTED);
  }
  Decrypt(u"\u00BF");
  EXPECT_EQ(crypter_.m_nError, ERR_BAD_NAME);
  Decrypt(u"\u00BF$");
  EXPECT_EQ(crypter_.m_nError, ERR_BAD_NAME);
  Decrypt(u"\u00BFxy$");  // seeds, but no body
  EXPECT_EQ(crypter_.m_nError, ERR_BAD_NAME);
  EXPECT_EQ(crypter_.m_strPlainName, u"");
  // A marked name whose bytes are not UTF-8 was not made by the cipher.
  Decrypt(Utf16FromWtf8("\xC2\xBF\x83\x65\x83\x58$"));
  EXPECT_EQ(crypter_.m_nError, ERR_BAD_NAME);
}

TEST_F(NameCipherTest, WrongPasswordNeverYieldsAName) {
  std::mt19937 random(7);
  const char16_t* wrong[] = {u"Password", u"passwore", u"pa", u"\u3042\u3044"};
  for (int length = 1; length <= 80; ++length) {
    std::u16string plain;
    for (int i = 0; i < length; ++i) {
      plain.push_back(char16_t(u'a' + random() % 26));
    }
    crypter_.SetPassword(u"password");
    const std::u16string cipher = Encrypt(plain);
    if (crypter_.m_nError == ERR_NAME_TOO_LONG) break;
    ASSERT_EQ(crypter_.m_nError, 0);
    for (const char16_t* password : wrong) {
      crypter_.SetPassword(password);
      EXPECT_EQ(Decrypt(cipher), u"") << length;
      // Code 7 only when the garbage happens to be blank.
      EXPECT_TRUE(crypter_.m_nError == ERR_WRONG_PASSWORD ||
                  crypter_.m_nError == ERR_BAD_NAME);
    }
  }
}

TEST_F(NameCipherTest, PlainNameThatOnlyLooksEncipheredIsRefused) {
  // Ends with a character of code index 0 and begins with the marker.
  Decrypt(u"\u00BFQu\u00E9 pasa?");
  EXPECT_EQ(crypter_.m_nError, ERR_WRONG_PASSWORD);
  Decrypt(u"\u00BFQu\u00E9 pasa.");
  EXPECT_EQ(crypter_.m_nError, ERR_WRONG_PASSWORD);
}

TEST_F(NameCipherTest, NamePairAndPaths) {
  crypter_.SetDirectory(u"/home/user/data");
  const std::u16string cipher = crypter_.ConvertName(u"a.txt", OP_ENCRYPT);
  EXPECT_EQ(crypter_.GetSourceName(), u"a.txt");
  EXPECT_EQ(crypter_.GetTargetName(), cipher);
  EXPECT_EQ(crypter_.GetSourcePath(), u"/home/user/data/a.txt");
  EXPECT_EQ(crypter_.GetTargetPath(), u"/home/user/data/" + cipher);
  crypter_.ConvertName(cipher, OP_DECRYPT);
  EXPECT_EQ(crypter_.GetSourcePath(), u"/home/user/data/" + cipher);
  EXPECT_EQ(crypter_.GetTargetPath(), u"/home/user/data/a.txt");
}

TEST_F(NameCipherTest, NoKeyScheduleIsAnErrorNotACrash) {
  Crypter fresh;
  fresh.ConvertName(u"a.txt", OP_ENCRYPT);
  EXPECT_EQ(fresh.m_nError, ERR_BAD_RANGE_CLASS);
}

}  // namespace
}  // namespace velmora
