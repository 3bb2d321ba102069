// SHA-256 against the known answers of FIPS 180-2 (appendix B) and NIST's
// example values, however the message is cut into updates; and the lookup of
// a setup's carried digest.
#include <gtest/gtest.h>

#include <string>

#include "components/ComponentHashes.h"
#include "components/Sha256.h"

namespace {

std::string HexOf(const std::string& message, std::size_t piece)
{
    Sha256 sha;
    for (std::size_t at = 0; at < message.size(); at += piece)
        sha.Update(message.data() + at, std::min(piece, message.size() - at));
    char hex[SHA256_HEX_SIZE];
    sha.FinalHex(hex);
    return hex;
}

TEST(Sha256, KnownAnswersWhateverTheUpdatesAre)
{
    const struct
    {
        const char* name;
        std::string message;
        const char* digest;
    } cases[] = {
        {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"eight hundred and ninety-six bits",
         "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {"a million a", std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {"55 bytes, the most one block pads", std::string(55, 'x'), nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string whole = HexOf(c.message, c.message.size() + 1);
        if (c.digest)
        {
            EXPECT_EQ(c.digest, whole);
        }
        for (std::size_t piece : {1, 3, 63, 64, 65, 4096})
            EXPECT_EQ(whole, HexOf(c.message, piece)) << "in pieces of " << piece;
    }
}

TEST(Sha256, ADigestEndsTheMessageAndTheNextStartsAfresh)
{
    Sha256 sha;
    char first[SHA256_HEX_SIZE];
    sha.Update("xyz", 3);
    sha.FinalHex(first);
    sha.Update("abc", 3);
    char second[SHA256_HEX_SIZE];
    sha.FinalHex(second);
    EXPECT_EQ(std::string("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"), second);
}

TEST(ComponentHashes, OnlyASetupWithTheDigestCarriedForItsNameMatches)
{
    const char* const editor = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    const ComponentHash table[] = {
        {"tssetup", editor},
        {"brsetup", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"broken", "ba78"},
    };
    const struct
    {
        const char* name;
        const char* setup;
        const char* digest;
        bool bKnown;
    } cases[] = {
        {"its own digest", "tssetup", editor, true},
        {"the name in capitals", "TSSETUP", editor, true},
        {"the digest in capitals", "tssetup", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", true},
        {"another component's digest", "brsetup", editor, false},
        {"one digit changed", "tssetup", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ae", false},
        {"a prefix of it", "tssetup", "ba7816bf", false},
        {"a setup the table does not know", "mvsetup", editor, false},
        {"a name that only starts like a known one", "tssetupx", editor, false},
        {"a carried digest that is not whole", "broken", "ba78", false},
        {"no digest", "tssetup", "", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.bKnown, IsKnownComponentSetup(table, 3, c.setup, c.digest));
    }
    EXPECT_EQ(nullptr, FindComponentHash(table, 3, "mvsetup"));
}

} // namespace
