#include "encoding/rtf_body.h"

#include <gtest/gtest.h>

#include "encoding/compressed_rtf.h"
#include "encoding/rtf_to_html.h"
#include "lzfu_fixture.h"

namespace mailferry {
namespace {

TEST(RtfBodyToHtml, MessageWithoutCompressedRtfHasNoHtmlFromIt) {
    rtf_body_fields fields;
    EXPECT_FALSE(RtfBodyToHtml(std::nullopt, fields));
    EXPECT_TRUE(fields.rtfHtml.empty());
    EXPECT_TRUE(fields.rtfImages.empty());
}

TEST(RtfBodyToHtml, MalformedValueThrowsItsText) {
    rtf_body_fields fields;
    const auto bytes = mftest::to_bytes("short");
    try {
        RtfBodyToHtml(std::span<const std::byte>(bytes), fields);
        FAIL() << "no exception";
    } catch (const compressed_rtf_error& e) {
        EXPECT_STREQ(e.what(), "Invalid compressed-RTF header");
    }
}

TEST(RtfBodyToHtml, ConvertsTheTextWithPlaceholdersAndKeepsThePictures) {
    const std::string rtf = "{\\rtf1\\ansi Hello{\\*\\shppict{\\pict\\pngblip\\bliptag5 89504e47}}world}";
    const auto bytes = mftest::to_bytes(mftest::lzfu_value(rtf));
    rtf_body_fields fields;
    fields.rtfHtml = "unchanged unless converted";
    const bool converted = RtfBodyToHtml(std::span<const std::byte>(bytes), fields);

    // Whatever the converter makes of it, it must have been given the text with the placeholder.
    std::string expected_html = "unchanged unless converted";
    const bool expected = ConvertRtfToHtml(
        "{\\rtf1\\ansi Hello{\\*\\shppict{\\rtfltr\\fs16 <<< Attachment : Image 5.png >>>}}world}", expected_html);
    EXPECT_EQ(converted, expected);
    EXPECT_EQ(fields.rtfHtml, expected_html);
    ASSERT_EQ(fields.rtfImages.size(), 1u);
    EXPECT_EQ(fields.rtfImages[0].name, "Image 5.png");
    EXPECT_EQ(fields.rtfImages[0].data, "89504e47");
    EXPECT_TRUE(fields.rtfImages[0].dataIsHex);
}

}  // namespace
}  // namespace mailferry
