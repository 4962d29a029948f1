#include "settings/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace modem {
namespace {

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The published test vectors, each hashed whole and fed in uneven pieces
// (so that pieces straddle the 64-byte blocks and the padding's edge).
TEST(Sha256, PublishedVectorsWholeAndInPieces) {
    struct Case {
        std::string message;
        std::string digest;
    };
    const std::vector<Case> cases{
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
         "lmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        // 55 and 56 bytes: the length still fits the last block, and no longer does.
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.substr(0, 20) + " (" + std::to_string(c.message.size()) + " bytes)");
        EXPECT_EQ(hexDigest(sha256(bytesOf(c.message))), c.digest);
        for (const std::size_t piece : {1U, 7U, 63U, 65U, 997U}) {
            Sha256 hash;
            const auto all = bytesOf(c.message);
            for (std::size_t at = 0; at < all.size(); at += piece) {
                hash.update(all.subspan(at, std::min(piece, all.size() - at)));
            }
            EXPECT_EQ(hexDigest(hash.finish()), c.digest) << "in pieces of " << piece;
        }
    }
}

}  // namespace
}  // namespace modem
