#include "encoding/rtf_pictures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_helpers.h"

namespace mailferry {
namespace {

using captured_diagnostics = mftest::captured_log;

std::vector<rtf_picture_info> pictures_in(std::string_view text) {
    return ClassifyRtfPictures(text, FindPictPositions(text));
}

std::string placeholder(std::string_view name) {
    return "{\\rtfltr\\fs16 <<< Attachment : " + std::string(name) + " >>>}";
}

TEST(RtfPictureDetector, NotesThePOfEachPictFollowedByADelimiter) {
    EXPECT_EQ(FindPictPositions("{\\pict\\wmetafile8}"), (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(FindPictPositions("ab{\\pict{x}{\\pict 0}"), (std::vector<std::uint32_t>{4, 13}));
    EXPECT_EQ(FindPictPositions("x\\pict\r\n"), (std::vector<std::uint32_t>{2}));
    EXPECT_TRUE(FindPictPositions("\\picture \\pictx \\pic t \\PICT ").empty());
    EXPECT_TRUE(FindPictPositions("\\pict").empty());
}

// The usual form of a picture in a mail body: a PNG in a starred \shppict group, then a WMF fallback for older
// readers in a \nonshppict group.
const std::string outlook_body =
    "{\\rtf1\\ansi Text before\r\n"
    "{\\*\\shppict{\\pict{\\*\\picprop\\shplid1025}\\picscalex100\\picw1000\\pich1000\\pngblip\\bliptag-123"
    "{\\*\\blipuid 0123abcd}\r\n89504e470d0a\r\n1a0a}}"
    "{\\nonshppict{\\pict\\picscalex100\\wmetafile8 0100090000}}after}";

TEST(RtfPictures, ShppictAndNonshppictPicturesAreBothFoundAsPlainPictures) {
    const auto pictures = pictures_in(outlook_body);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0].kind, 0);
    EXPECT_EQ(pictures[0].extension, "png");
    EXPECT_EQ(pictures[0].tag, "-123");
    EXPECT_FALSE(pictures[0].binary);
    EXPECT_EQ(outlook_body.substr(pictures[0].dataStart, pictures[0].dataLength), "89504e470d0a\r\n1a0a");
    EXPECT_EQ(pictures[1].kind, 0);
    EXPECT_EQ(pictures[1].extension, "wmf");
    EXPECT_EQ(pictures[1].tag, "");
    EXPECT_EQ(outlook_body.substr(pictures[1].groupStart, pictures[1].groupLength),
              "{\\pict\\picscalex100\\wmetafile8 0100090000}");
    // Each picture group is replaced by its placeholder.
    std::string out;
    std::vector<rtf_image> images;
    ReplacePictures(outlook_body, pictures, out, images);
    EXPECT_EQ(out, "{\\rtf1\\ansi Text before\r\n{\\*\\shppict" + placeholder("Image -123.png") + "}{\\nonshppict" +
                       placeholder("Image 2.wmf") + "}after}");
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].name, "Image -123.png");
    EXPECT_EQ(images[0].data, "89504e470d0a\r\n1a0a");
    EXPECT_TRUE(images[0].dataIsHex);
    EXPECT_EQ(images[1].name, "Image 2.wmf");
    EXPECT_EQ(images[1].data, "0100090000");
}

TEST(RtfPictures, PicturesWithoutTagsAreNumberedAndKnownNamesAreNotAddedAgain) {
    const std::string text = "{\\rtf1 a{\\pict\\jpegblip ffd8}b{\\pict\\emfblip 0100}c}";
    std::string out;
    std::vector<rtf_image> images{{"Image 1.jpg", "old", true}};
    ReplacePictures(text, pictures_in(text), out, images);
    EXPECT_EQ(out, "{\\rtf1 a" + placeholder("Image 1.jpg") + "b" + placeholder("Image 2.emf") + "c}");
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].data, "old");
    EXPECT_EQ(images[1].name, "Image 2.emf");
}

TEST(RtfPictures, BinaryDataKeepsItsRawBytes) {
    const std::string text = std::string("{\\rtf1{\\pict\\pngblip\\bin5 {}\\\0x}after}", 38);
    std::string out;
    std::vector<rtf_image> images;
    ReplacePictures(text, pictures_in(text), out, images);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].data, std::string("{}\\\0x", 5));
    EXPECT_FALSE(images[0].dataIsHex);
    EXPECT_EQ(out, "{\\rtf1" + placeholder("Image 1.png") + "after}");
}

TEST(RtfPictures, TypeWordsGiveTheExtensionTheLastOneWinning) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\\wmetafile8", "wmf"}, {"\\pngblip", "png"},     {"\\jpegblip", "jpg"},  {"\\macpict", "pict"},
        {"\\emfblip", "emf"},    {"\\pmmetafile0", "emf"}, {"\\dibitmap0", "emf"}, {"\\wmetafile8\\pngblip", "png"},
        {"\\picw5", ""},
    };
    for (const auto& [words, extension] : cases) {
        const std::string text = "{\\rtf1{\\pict" + words + "\\bliptag1\\bliptag2 00}}";
        const auto pictures = pictures_in(text);
        ASSERT_EQ(pictures.size(), 1u) << words;
        EXPECT_EQ(pictures[0].extension, extension) << words;
        EXPECT_EQ(pictures[0].tag, "2") << words;
    }
}

TEST(RtfPictures, PositionsWithoutAPictureGroupAreSkipped) {
    // \pict outside a group of its own, and a \*\shppict whose group was closed before it.
    const std::string text =
        "{\\rtf1 {\\b x\\pict \\wmetafile8 00}}{\\rtf1 }\\*\\shppict{\\pict\\pngblip 11}{\\pict\\jpegblip 22}";
    const auto pictures = pictures_in(text);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].extension, "jpg");
    // A picture group at the very start of the text ends the search.
    EXPECT_TRUE(pictures_in("{\\pict\\pngblip 00}{\\pict\\pngblip 11}").empty());
}

TEST(RtfPictures, ShppictRangeCoversTheFallbackThatFollowsAndNonshppictStays) {
    const std::string text = "0123456789ABCDEF";
    std::vector<rtf_picture_info> pictures(2);
    pictures[0] = {"png", "", 6, 2, 5, 4, 1, false};
    pictures[1] = {"wmf", "", 10, 1, 9, 3, 2, false};
    std::string out;
    std::vector<rtf_image> images;
    ReplacePictures(text, pictures, out, images);
    EXPECT_EQ(out, "01234" + placeholder("Image 1.png") + "CDEF");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].data, "67");
}

TEST(RtfPictures, OverlappingRangesCopyNothingAndAreReported) {
    captured_diagnostics log;
    const std::string text = "0123456789ABCDEF";
    std::vector<rtf_picture_info> pictures(2);
    pictures[0] = {"png", "", 0, 0, 2, 8, 0, false};
    pictures[1] = {"png", "", 0, 0, 4, 2, 0, false};
    std::string out;
    std::vector<rtf_image> images;
    ReplacePictures(text, pictures, out, images);
    EXPECT_EQ(out, "01" + placeholder("Image 1.png") + placeholder("Image 2.png") + "6789ABCDEF");
    EXPECT_EQ(log.lines, std::vector<std::string>{"Hey ! Be careful."});
}

TEST(RtfPictures, DeepGroupsInsideAPictureDoNotExhaustTheStack) {
    const std::string text = "{\\rtf1{\\pict" + std::string(200000, '{') + std::string(200000, '}') + "\\pngblip 00}}";
    const auto pictures = pictures_in(text);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].extension, "png");
    EXPECT_EQ(pictures[0].groupLength, text.size() - 7);
}

TEST(RtfPictures, SearchBuiltToRereadTheWholeTextStopsEarly) {
    // Every \pict sends the search back over everything before it; without a bound this is quadratic.
    captured_diagnostics log;
    std::string text = "{";
    for (int i = 0; i < 100000; ++i) text += "\\x";
    for (int i = 0; i < 40000; ++i) text += "\\*\\shppict\\pict ";
    EXPECT_TRUE(pictures_in(text).empty());
    EXPECT_EQ(log.lines.size(), 1u);
}

}  // namespace
}  // namespace mailferry
