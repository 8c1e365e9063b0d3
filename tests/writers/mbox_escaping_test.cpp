#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "writers/mime_parts_internal.h"

namespace mailferry::detail {
namespace {

std::string Escape(const std::vector<std::string_view>& chunks) {
    MboxEscaper escaper;
    std::string out;
    for (const std::string_view chunk : chunks) escaper.Escape(chunk, out);
    escaper.Finish(out);
    return out;
}

TEST(MboxEscaping, QuotesFromLinesAndEndsLinesWithLf) {
    const std::pair<std::string, std::string> cases[] = {
        {"From here", ">From here"},
        {">From here", ">>From here"},
        {">>>From x\r\n", ">>>>From x\n"},
        {"a\r\nFrom b\r\n", "a\n>From b\n"},
        {"From:\nFromage\n  From x\nFrom\n>From", "From:\nFromage\n  From x\nFrom\n>From"},
        {"x From y\n>F>From z", "x From y\n>F>From z"},
        {"a\rFrom b\r\rc", "a\n>From b\n\nc"},
        {"a\n\nFrom b\n", "a\n\n>From b"},  // a lone LF at the very end is dropped
        {"a\r", "a"},
        {"", ""},
        {std::string(600, '>') + "From x", ">" + std::string(600, '>') + "From x"},
        {std::string(600, '>') + "Fro", std::string(600, '>') + "Fro"},
    };
    for (const auto& [body, expected] : cases) {
        EXPECT_EQ(Escape({body}), expected) << body;
        // However the body is cut into chunks, the text is the same.
        for (std::size_t cut = 0; cut <= body.size(); ++cut) {
            const std::string_view all = body;
            ASSERT_EQ(Escape({all.substr(0, cut), all.substr(cut)}), expected) << body << " cut at " << cut;
        }
        std::vector<std::string_view> bytes;
        for (std::size_t i = 0; i < body.size(); ++i) bytes.push_back(std::string_view(body).substr(i, 1));
        EXPECT_EQ(Escape(bytes), expected) << body << " byte by byte";
    }
}

}  // namespace
}  // namespace mailferry::detail
