// JPEG decoding: the variants a camera or editor writes, and the broken files libjpeg would
// otherwise turn into grey pictures, endless decodes or huge allocations.
//
// The pictures in data/jpeg are rebuilt by data/jpeg/make_fixtures.sh. In short, from a 16x16
// PPM with red, green / blue, white 8x8 quadrants:
//   cjpeg -quality 95 -sample 1x1 -optimize  > colour.jpg
//   cjpeg -quality 95 -grayscale             > grey.jpg
//   cjpeg -quality 95 -progressive           > progressive.jpg   (4:2:0)
//   cjpeg -quality 95 -sample 1x1 -arithmetic > arithmetic.jpg
//   cjpeg -quality 95 -sample 1x1 -restart 1B > restart.jpg
//   convert -quality 90 -colorspace CMYK -strip cmyk.jpg
//   jpegtran -scans <script> grey.jpg       > scans100.jpg; scans101.jpg splices one more scan on
// truncated.jpg, corrupt.jpg and trailing_bytes.jpg are colour.jpg cut in its entropy data, with
// one byte flipped there, or with junk before its end marker; side_*.jpg and pixels_*.jpg are
// colour.jpg with a frame header claiming a larger size.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "Errors.h"
#include "ImageFiles.h"

namespace {

std::vector<std::uint8_t> Fixture(const std::string& name) {
  std::ifstream file(std::string(PORUMINA_TEST_DATA) + "/jpeg/" + name, std::ios::binary);
  EXPECT_TRUE(file) << name;
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Test name from a fixture's file name.
template <typename TCase> std::string CaseName(const testing::TestParamInfo<TCase>& info) {
  const std::string file = info.param.File;
  return file.substr(0, file.find('.'));
}

struct TGoodCase {
  const char* File;
  std::int32_t Width;
  std::int32_t Height;
  TPixelFormat Format;
};

// Quadrant centres of the test picture and their colours (red, green, blue).
struct TProbe {
  std::int32_t X, Y;
  int Red, Green, Blue;
};
constexpr TProbe kProbes[] = {
    {4, 4, 255, 0, 0}, {12, 4, 0, 255, 0}, {4, 12, 0, 0, 255}, {12, 12, 255, 255, 255}};
constexpr int kTolerance = 8;

int Grey(const TProbe& probe) {
  return (299 * probe.Red + 587 * probe.Green + 114 * probe.Blue + 500) / 1000;
}

void PrintTo(const TGoodCase& c, std::ostream* os) {
  *os << c.File;
}

class JpegGoodFile : public testing::TestWithParam<TGoodCase> {};

TEST_P(JpegGoodFile, DecodesAtFullSizeWithQuadrantColoursAndNoOutput) {
  const TGoodCase& c = GetParam();
  const std::vector<std::uint8_t> data = Fixture(c.File);

  testing::internal::CaptureStderr();
  const TDecodedPicture picture = DecodeJpeg(data, c.File);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  ASSERT_EQ(picture.Width, c.Width);
  ASSERT_EQ(picture.Height, c.Height);
  ASSERT_EQ(picture.Format, c.Format);
  const std::size_t bytesPerPixel = c.Format == TPixelFormat::pf8bit ? 1 : 3;
  ASSERT_EQ(picture.Pixels.size(),
            static_cast<std::size_t>(c.Width) * static_cast<std::size_t>(c.Height) * bytesPerPixel);

  for (const TProbe& probe : kProbes) {
    SCOPED_TRACE(testing::Message() << "pixel (" << probe.X << ", " << probe.Y << ")");
    const std::size_t at = (static_cast<std::size_t>(probe.Y) * static_cast<std::size_t>(c.Width) +
                            static_cast<std::size_t>(probe.X)) *
                           bytesPerPixel;
    if (c.Format == TPixelFormat::pf8bit) {
      EXPECT_NEAR(picture.Pixels[at], Grey(probe), kTolerance);
    } else {
      EXPECT_NEAR(picture.Pixels[at], probe.Blue, kTolerance);
      EXPECT_NEAR(picture.Pixels[at + 1], probe.Green, kTolerance);
      EXPECT_NEAR(picture.Pixels[at + 2], probe.Red, kTolerance);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Variants, JpegGoodFile,
                         testing::Values(TGoodCase{"colour.jpg", 16, 16, TPixelFormat::pf24bit},
                                         TGoodCase{"grey.jpg", 16, 16, TPixelFormat::pf8bit},
                                         TGoodCase{"progressive.jpg", 16, 16,
                                                   TPixelFormat::pf24bit},
                                         TGoodCase{"arithmetic.jpg", 16, 16, TPixelFormat::pf24bit},
                                         TGoodCase{"restart.jpg", 16, 16, TPixelFormat::pf24bit},
                                         // exactly at the scan limit
                                         TGoodCase{"scans100.jpg", 16, 16, TPixelFormat::pf8bit}),
                         CaseName<TGoodCase>);

struct TBadCase {
  const char* File;
  const char* Phrase;
};

void PrintTo(const TBadCase& c, std::ostream* os) {
  *os << c.File;
}

class JpegBadFile : public testing::TestWithParam<TBadCase> {};

TEST_P(JpegBadFile, RaisesEjpegNamingTheFileAndTheFaultWithNoOutput) {
  const TBadCase& c = GetParam();
  const std::vector<std::uint8_t> data = Fixture(c.File);
  const std::string name = std::string("dir/") + c.File;

  testing::internal::CaptureStderr();
  std::string message;
  try {
    DecodeJpeg(data, name);
    ADD_FAILURE() << "no error";
  } catch (const EJPEG& e) {
    message = e.what();
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(message.rfind(name + ": ", 0), 0u) << message;
  EXPECT_NE(message.find(c.Phrase), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Variants, JpegBadFile,
    testing::Values(
        TBadCase{"truncated.jpg", "JPEG データが壊れています: Premature end of JPEG file"},
        TBadCase{"corrupt.jpg", "JPEG データが壊れています: Corrupt JPEG data: bad Huffman code"},
        TBadCase{"trailing_bytes.jpg",
                 "JPEG データが壊れています: Corrupt JPEG data: 12 extraneous bytes"},
        TBadCase{"scans101.jpg", "JPEG のスキャンが多すぎます (上限 100)"},
        TBadCase{"side_65000.jpg", "画像が大きすぎます (65000 x 65000)"},
        TBadCase{"side_40000x16.jpg", "画像が大きすぎます (40000 x 16)"},
        TBadCase{"pixels_9000x9000.jpg", "画像が大きすぎます (9000 x 9000)"},
        TBadCase{"cmyk.jpg", "CMYK"}, TBadCase{"not_jpeg.jpg", "JPEG エラー #"},
        TBadCase{"empty.jpg", "JPEG エラー #"}),
    CaseName<TBadCase>);

// Every proper prefix of a good file must fail cleanly: not crash, print, read past the span
// (the sanitizer build checks that) or pass for a picture. The baseline files are read in one go
// by start_decompress; only reading on to the end marker notices their last bytes are missing.
std::string FileName(const testing::TestParamInfo<const char*>& info) {
  const std::string file = info.param;
  return file.substr(0, file.find('.'));
}

class JpegCut : public testing::TestWithParam<const char*> {};

TEST_P(JpegCut, EveryPrefixFailsWithEjpeg) {
  const std::vector<std::uint8_t> data = Fixture(GetParam());
  testing::internal::CaptureStderr();
  for (std::size_t length = 0; length < data.size(); ++length) {
    const std::vector<std::uint8_t> prefix(data.begin(),
                                           data.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_THROW(DecodeJpeg(prefix, "cut.jpg"), EJPEG) << "length " << length;
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

INSTANTIATE_TEST_SUITE_P(Variants, JpegCut,
                         testing::Values("colour.jpg", "progressive.jpg", "arithmetic.jpg"),
                         FileName);

} // namespace
