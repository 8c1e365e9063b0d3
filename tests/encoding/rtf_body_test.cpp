#include "encoding/rtf_body.h"

#include <gtest/gtest.h>

#include "encoding/compressed_rtf.h"
#include "lzfu_fixture.h"

namespace mailferry {
namespace {

TEST(RtfBodyToHtml, NoValueGivesNothingAndAMalformedOneThrowsItsText) {
    rtf_body_fields fields;
    EXPECT_FALSE(RtfBodyToHtml(std::nullopt, fields));
    EXPECT_TRUE(fields.rtfHtml.empty());
    EXPECT_TRUE(fields.rtfImages.empty());
    const auto bytes = mftest::ascii("short");
    EXPECT_EQ(
        mftest::failure_of<compressed_rtf_error>([&] { RtfBodyToHtml(std::span<const std::byte>(bytes), fields); }),
        "Invalid compressed-RTF header");
}

TEST(RtfBodyToHtml, ConvertsTheTextWithPlaceholdersAndKeepsThePictures) {
    const std::string rtf = "{\\rtf1\\ansi Hello{\\*\\shppict{\\pict\\pngblip\\bliptag5 89504e47}}world}";
    const auto bytes = mftest::ascii(mftest::lzfu_value(rtf));
    rtf_body_fields fields;
    ASSERT_TRUE(RtfBodyToHtml(std::span<const std::byte>(bytes), fields));
    EXPECT_EQ(
        fields.rtfHtml,
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
        "<style>p{margin:0;white-space:pre-wrap}</style>\n</head>\n<body>\n"
        "<p>Hello<span style=\"font-size:8pt\">&lt;&lt;&lt; Attachment : Image 5.png &gt;&gt;&gt;</span>world</p>\n"
        "</body>\n</html>\n");
    ASSERT_EQ(fields.rtfImages.size(), 1u);
    EXPECT_EQ(fields.rtfImages[0].name, "Image 5.png");
    EXPECT_EQ(fields.rtfImages[0].data, "89504e47");
    EXPECT_TRUE(fields.rtfImages[0].dataIsHex);
}

}  // namespace
}  // namespace mailferry
