#include <gtest/gtest.h>

#include <typeinfo>

#include "credentials/cipher_envelope.h"
#include "credentials/credentials_key.h"
#include "service/base64.h"

namespace {

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return bytes;
}

TCipherKey KeyOf(std::string_view hex) {
  const std::string bytes =
      FromHex(hex.size() == 16 ? std::string(hex) + std::string(hex) : std::string(hex));
  TCipherKey key{};
  std::copy(bytes.begin(), bytes.end(), key.begin());
  return key;
}

std::string Transformed(const TCipherKey& key, bool encrypt, std::string bytes) {
  TTripleDesContext(key, encrypt).Transform(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size() / 8);
  return bytes;
}

std::string Decoded(std::string_view text) {
  TMemoryStream in, out;
  in.Write(text.data(), text.size());
  in.Seek(0);
  Base64DecodeStream(in, out);
  return out.Bytes();
}

template <typename Error>
void ExpectError(std::string_view what, const auto& work) {
  try {
    work();
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.what(), what);
    if constexpr (std::is_same_v<Error, Exception>) {
      EXPECT_EQ(typeid(error), typeid(Exception));
    }
  }
}

const TCipherKey TwoKeys = KeyOf("0123456789ABCDEFFEDCBA9876543210");

TEST(TTripleDesContext, EqualHalvesGiveSingleDesOfThePublishedVectors) {
  const struct {
    const char *Key, *Plain, *Cipher;
  } cases[] = {
      {"0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
      {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
      {"0E329232EA6D0D73", "8787878787878787", "0000000000000000"},
      {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
      // A weak key, and parity bits that take no part.
      {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
      {"0000000000000000", "8000000000000000", "95F8A5E5DD31D900"},
      {"0022446688AACCEE", "4E6F772069732074", "3FA40E8A984D4815"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Transformed(KeyOf(c.Key), true, FromHex(c.Plain)), FromHex(c.Cipher)) << c.Key;
    EXPECT_EQ(Transformed(KeyOf(c.Key), false, FromHex(c.Cipher)), FromHex(c.Plain)) << c.Key;
  }
}

// Made with: printf <hex> | xxd -r -p | openssl enc [-d] -des-ede -K 0123456789ABCDEFFEDCBA9876543210
//            -nopad -provider legacy -provider default | xxd -p
TEST(TTripleDesContext, TwoKeyVectorsEachBlockOnItsOwn) {
  const std::string plain = FromHex(
      "4E6F772069732074"
      "68652074696D6520"
      "0000000000000000"
      "FFFFFFFFFFFFFFFF");
  const std::string cipher = FromHex(
      "D80A0D8B2BAE5E4E"
      "6A0094171ABCFC27"
      "08D7B4FB629D0885"
      "847CA792BFA6FD4C");
  EXPECT_EQ(Transformed(TwoKeys, true, plain), cipher);
  EXPECT_EQ(Transformed(TwoKeys, false, cipher), plain);
  EXPECT_EQ(Transformed(TwoKeys, false, FromHex("0000000000000000")), FromHex("C1E6E95D2166B5C4"));
}

// Made with: (printf <text>; printf <framing block>) | openssl enc -des-ede -K <key> -nopad
//            -provider legacy -provider default | base64 -w0
TEST(CipherEnvelope, StoredFormsMadeByOpenssl) {
  const struct {
    TCipherKey Key;
    std::string Text, Stored;
  } cases[] = {
      {TwoKeys, "Now is the time for all ", "2AoNiyuuXk5qAJQXGrz8J3XSI1pwbiMsCNe0+2KdCIU="},
      // These two also pin CredentialsKey: a changed key would lose every remembered value.
      {CredentialsKey, "secret", "TppyojHW7EA="},
      {CredentialsKey, "", "PQgCOl7JSPw="},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CipherEnvelope(c.Text, c.Key, true), c.Stored);
    EXPECT_EQ(CipherEnvelope(c.Stored, c.Key, false), c.Text);
  }
}

TEST(CipherEnvelope, RoundTripsEveryLengthAndFramesTheLastBlock) {
  for (const TCipherKey& key : {TwoKeys, CredentialsKey, KeyOf("0101010101010101")}) {
    for (std::size_t length = 0; length <= 40; ++length) {
      std::string text;
      for (std::size_t i = 0; i < length; ++i) text += static_cast<char>(i % 3 ? i * 71 + length : 0);
      const std::string stored = CipherEnvelope(text, key, true);
      const std::size_t blocks = length / 8 + 1;
      EXPECT_EQ(stored.size(), (blocks * 8 + 2) / 3 * 4);
      EXPECT_EQ(stored, CipherEnvelope(text, key, true));
      EXPECT_EQ(CipherEnvelope(stored, key, false), text) << length;
      // The last block holds the rest of the text, zeros, and the count.
      std::string last = text.substr(length / 8 * 8) + std::string(8 - length % 8, '\0');
      last[7] = static_cast<char>(length % 8);
      EXPECT_EQ(Transformed(key, false, Decoded(stored)).substr(length / 8 * 8), last) << length;
    }
  }
  EXPECT_EQ(CipherEnvelope("", TwoKeys, true).back(), '=');
  for (const auto& [length, size] : {std::pair{7, 12}, {8, 24}, {15, 24}, {16, 32}, {23, 32}, {24, 44}})
    EXPECT_EQ(CipherEnvelope(std::string(length, 'x'), TwoKeys, true).size(), size);
}

TEST(CipherEnvelope, EqualHalvesGiveEqualBlocksBeforeTheCountBlock) {
  const std::string bytes = Decoded(CipherEnvelope("abcdefghabcdefgh", TwoKeys, true));
  ASSERT_EQ(bytes.size(), 24u);
  EXPECT_EQ(bytes.substr(0, 8), bytes.substr(8, 8));
  EXPECT_EQ(Transformed(TwoKeys, false, bytes.substr(16)), std::string(8, '\0'));
}

TEST(Base64EncodeStream, StandardBase64AcrossChunksFromThePosition) {
  std::string bytes;
  for (int i = 0; i < 136; ++i) bytes += static_cast<char>(i * 13);
  for (const std::size_t size : {0, 1, 2, 44, 45, 46, 89, 90, 91, 135, 136}) {
    for (const std::size_t from : {std::size_t{0}, size / 2}) {
      TMemoryStream in, out;
      in.Write(bytes.data(), size);
      in.Seek(from);
      Base64EncodeStream(in, out);
      EXPECT_EQ(out.TakeBytes(), EncodeBase64(bytes.substr(from, size - from))) << size;
      // Taken, the stream is as new.
      EXPECT_EQ(out.Size() + out.Position(), 0u);
      out.Write("x", 1);
      EXPECT_EQ(out.Bytes(), "x");
    }
  }
}

TEST(Base64DecodeStream, GroupsPaddingAndCharactersOutsideTheAlphabet) {
  const struct {
    std::string Text, Bytes;
  } cases[] = {
      {"", ""},
      {"QUJD", "ABC"},
      {"QUI=", "AB"},
      {"QQ==QUJD", "AABC"},
      {"QQ=Z", "A"},
      {"+/+/", FromHex("FBFFBF")},
      // Value 127 goes into the formulas as it is.
      {"-_AA", FromHex("FFF000")},
      {"`AAA", FromHex("FC0000")},
      {"Q=AA", FromHex("47F000")},
  };
  for (const auto& c : cases) EXPECT_EQ(Decoded(c.Text), c.Bytes) << c.Text;

  std::string padded;
  for (int i = 0; i < 30; ++i) padded += "QQ==";
  EXPECT_EQ(Decoded(padded), std::string(30, 'A'));
  std::string bytes(200, '\0');
  for (int i = 0; i < 200; ++i) bytes[i] = static_cast<char>(i * 7);
  for (std::size_t size : {65, 66, 67, 132, 133, 200})
    EXPECT_EQ(Decoded(EncodeBase64(bytes.substr(0, size))), bytes.substr(0, size));
}

TEST(Base64DecodeStream, RejectsOutsidePlusToZAndShortGroups) {
  for (const char c : {' ', '\n', '\0', '*', '{', '\x80'}) {
    for (int at = 0; at < 4; ++at) {
      std::string group = "QUJD";
      group[at] = c;
      ExpectError<Exception>(InvalidBase64CharacterMessage, [&] { Decoded(group); });
    }
  }
  for (const char* text : {"Q", "QUJ", "QUJDQ", "QUJDQUJDQU"})
    ExpectError<Exception>(InvalidBase64CharacterMessage, [&] { Decoded(text); });

  // The whole group is checked before any of it is decoded; bytes go out a chunk at a time.
  for (const auto& [text, written] : {std::pair{std::string("AAAAAA A"), 0},
                                      {std::string(88, 'A') + "AA A", 66},
                                      {std::string(89, 'A'), 66}}) {
    TMemoryStream in, out;
    in.Write(text.data(), text.size());
    in.Seek(0);
    EXPECT_THROW(Base64DecodeStream(in, out), Exception);
    EXPECT_EQ(out.Size(), std::size_t(written));
  }
}

TEST(CipherEnvelope, StoredFormsThatCannotBeDeciphered) {
  // Short of a block, whatever the bytes. Filled up with zeros, 13 00 .. 00 would decipher to a count of 8.
  for (const std::string& block :
       {std::string(8, '\0'), std::string(8, '\xFF'), "\x13" + std::string(7, '\0'),
        Decoded(CipherEnvelope("", TwoKeys, true))}) {
    for (std::size_t length = 0; length < 8; ++length) {
      const std::string stored = EncodeBase64(block.substr(0, length));
      SCOPED_TRACE(stored);
      ExpectError<ECipherException>(InvalidFileFormatMessage,
                                    [&] { CipherEnvelope(stored, TwoKeys, false); });
    }
  }
  const std::string good = CipherEnvelope("text", TwoKeys, true);
  for (const std::string& stored : {good + "\r\n", " " + good, good.substr(0, 4) + " " + good.substr(5)})
    ExpectError<Exception>(InvalidBase64CharacterMessage, [&] { CipherEnvelope(stored, TwoKeys, false); });
}

TEST(CipherEnvelope, BytesAfterTheLastWholeBlockAreIgnored) {
  for (const std::string text : {"", "password"}) {
    const std::string bytes = Decoded(CipherEnvelope(text, TwoKeys, true));
    for (int extra = 1; extra < 8; ++extra)
      EXPECT_EQ(CipherEnvelope(EncodeBase64(bytes + std::string(extra, '\x5A')), TwoKeys, false), text);
  }
}

TEST(CipherEnvelope, TheCountByteOfTheLastBlockDecides) {
  // Forms that this envelope never made: a count up to 8 keeps that many bytes, above 8 is refused.
  for (const int count : {0, 5, 8, 9, 255}) {
    std::string block = "ABCDEFG?";
    block[7] = static_cast<char>(count);
    const std::string stored = EncodeBase64(Transformed(CredentialsKey, true, "12345678" + block));
    if (count <= 8)
      EXPECT_EQ(CipherEnvelope(stored, CredentialsKey, false), "12345678" + block.substr(0, count));
    else
      ExpectError<ECipherException>(InvalidFileFormatMessage,
                                    [&] { CipherEnvelope(stored, CredentialsKey, false); });
  }
}

TEST(TripleDesStream, CountsBlocksFromTheSizeButReadsFromThePosition) {
  const struct {
    std::size_t Size, Position;
    bool Encrypt;
    std::size_t Written;
  } cases[] = {{8, 1, true, 0}, {16, 8, true, 8}, {16, 8, false, 8}, {7, 0, false, 0}};
  for (const auto& c : cases) {
    TMemoryStream in, out;
    in.Write(std::string(c.Size, 'x').data(), c.Size);
    in.Seek(c.Position);
    ExpectError<ECipherException>(InvalidFileFormatMessage,
                                  [&] { TripleDesStream(in, out, TwoKeys, c.Encrypt); });
    EXPECT_EQ(out.Size(), c.Written);
  }
}

}  // namespace
