// JPEG decoding over libjpeg-turbo (its BGR output and memory source).
//
// libjpeg reports fatal errors by calling error_exit, which must not return; we longjmp back to
// the function that called setjmp. longjmp skips C++ destructors, so every function that calls
// setjmp below is plain C in spirit: only trivially destructible locals, no exceptions thrown
// while the jump target is armed. They report failure as a code plus a text buffer, and the C++
// caller turns that into EJPEG once the jump frame is gone.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "Errors.h"
#include "ImageFiles.h"

namespace {

// A file with more scans than this is refused: each progressive scan walks the whole image, and
// crafted files with thousands of tiny scans take minutes to decode.
constexpr int kMaxScans = 100;

enum class TJpegFailure {
  None,
  Library, // libjpeg gave up; Code and Text hold its message
  Corrupt, // libjpeg warned (bad data, file cut short); Text holds the warning
  TooManyScans,
};

struct TJpegErrorManager {
  jpeg_error_mgr Library; // first, so libjpeg's pointer to it is also a pointer to us
  std::jmp_buf Jump;
  TJpegFailure Failure;
  int Code;
  char Text[JMSG_LENGTH_MAX];
};

TJpegErrorManager& ManagerOf(j_common_ptr cinfo) {
  return *reinterpret_cast<TJpegErrorManager*>(cinfo->err);
}

[[noreturn]] void Fail(j_common_ptr cinfo, TJpegFailure failure) {
  TJpegErrorManager& manager = ManagerOf(cinfo);
  manager.Failure = failure;
  manager.Code = manager.Library.msg_code;
  (*manager.Library.format_message)(cinfo, manager.Text);
  std::longjmp(manager.Jump, 1);
}

void OnErrorExit(j_common_ptr cinfo) {
  Fail(cinfo, TJpegFailure::Library);
}

// libjpeg carries on after a warning and hands back grey or garbage pixels; we want an error.
// Trace messages (level 0 and up) are dropped.
void OnEmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0)
    Fail(cinfo, TJpegFailure::Corrupt);
}

// Nothing is ever printed: every message reaches the user through the exception.
void OnOutputMessage(j_common_ptr) {}

void OnProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor)
    return;
  const auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (decompress->input_scan_number > kMaxScans || cinfo->progress->completed_passes > kMaxScans) {
    TJpegErrorManager& manager = ManagerOf(cinfo);
    manager.Failure = TJpegFailure::TooManyScans;
    std::longjmp(manager.Jump, 1);
  }
}

// The parts of the decoder that live across the jump-armed functions below; all plain C data.
struct TJpegSession {
  jpeg_decompress_struct Info;
  TJpegErrorManager Errors;
  jpeg_progress_mgr Progress;
  bool Created;
};

void ResetFailure(TJpegErrorManager& manager) {
  manager.Failure = TJpegFailure::None;
  manager.Code = 0;
  manager.Text[0] = '\0';
}

// Sets up the decoder over `data` and reads the header up to the first scan.
TJpegFailure OpenAndReadHeader(TJpegSession* session, const std::uint8_t* data, std::size_t size) {
  TJpegErrorManager& manager = session->Errors;
  ResetFailure(manager);
  if (setjmp(manager.Jump) != 0)
    return manager.Failure;
  session->Info.err = jpeg_std_error(&manager.Library);
  manager.Library.error_exit = OnErrorExit;
  manager.Library.emit_message = OnEmitMessage;
  manager.Library.output_message = OnOutputMessage;
  jpeg_create_decompress(&session->Info);
  session->Created = true;
  session->Progress.progress_monitor = OnProgress;
  session->Info.progress = &session->Progress;
  jpeg_mem_src(&session->Info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&session->Info, TRUE);
  return TJpegFailure::None;
}

// Decodes every row into `pixels` (rowBytes apart) and reads on to the end of the image, so
// damage after the last row is noticed too.
TJpegFailure DecodeRows(TJpegSession* session, std::uint8_t* pixels, std::size_t rowBytes) {
  TJpegErrorManager& manager = session->Errors;
  ResetFailure(manager);
  if (setjmp(manager.Jump) != 0)
    return manager.Failure;
  j_decompress_ptr info = &session->Info;
  jpeg_start_decompress(info);
  if (info->output_width != info->image_width || info->output_height != info->image_height ||
      static_cast<std::size_t>(info->output_width) * info->output_components != rowBytes) {
    // Settings chosen before start_decompress were not honoured; never write past the buffer.
    std::snprintf(manager.Text, sizeof manager.Text, "unexpected output layout");
    return TJpegFailure::Library;
  }
  while (info->output_scanline < info->output_height) {
    JSAMPROW row = pixels + info->output_scanline * rowBytes;
    jpeg_read_scanlines(info, &row, 1);
  }
  jpeg_finish_decompress(info);
  return TJpegFailure::None;
}

// Releases libjpeg's memory on every way out of DecodeJpeg.
class TSessionCloser {
public:
  explicit TSessionCloser(TJpegSession& session) : session_(session) {}
  ~TSessionCloser() {
    if (session_.Created)
      jpeg_destroy_decompress(&session_.Info);
  }
  TSessionCloser(const TSessionCloser&) = delete;
  TSessionCloser& operator=(const TSessionCloser&) = delete;

private:
  TJpegSession& session_;
};

void ThrowIfFailed(TJpegFailure failure, const TJpegErrorManager& manager,
                   const std::string& name) {
  switch (failure) {
  case TJpegFailure::None:
    return;
  case TJpegFailure::Library:
    throw EJPEG(name + ": JPEG エラー #" + std::to_string(manager.Code) + ": " + manager.Text);
  case TJpegFailure::Corrupt:
    throw EJPEG(name + ": JPEG データが壊れています: " + manager.Text);
  case TJpegFailure::TooManyScans:
    throw EJPEG(name + ": JPEG のスキャンが多すぎます (上限 " + std::to_string(kMaxScans) + ")");
  }
}

} // namespace

TDecodedPicture DecodeJpeg(std::span<const std::uint8_t> data, const std::string& name) {
  TJpegSession session;
  std::memset(&session, 0, sizeof session);
  TSessionCloser closer(session);

  ThrowIfFailed(OpenAndReadHeader(&session, data.data(), data.size()), session.Errors, name);

  jpeg_decompress_struct& info = session.Info;
  const std::int64_t width = info.image_width;
  const std::int64_t height = info.image_height;
  if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels)
    throw EJPEG(name + ": 画像が大きすぎます (" + std::to_string(width) + " x " +
                std::to_string(height) + ")");

  TDecodedPicture picture;
  switch (info.jpeg_color_space) {
  case JCS_GRAYSCALE:
    info.out_color_space = JCS_GRAYSCALE;
    picture.Format = TPixelFormat::pf8bit;
    break;
  case JCS_CMYK:
  case JCS_YCCK:
    throw EJPEG(name + ": CMYK の JPEG には対応していません");
  default:
    // libjpeg-turbo writes blue, green, red itself; other colour spaces fail in start_decompress.
    info.out_color_space = JCS_EXT_BGR;
    picture.Format = TPixelFormat::pf24bit;
    break;
  }
  info.scale_num = 1;
  info.scale_denom = 1;

  const std::size_t bytesPerPixel = picture.Format == TPixelFormat::pf8bit ? 1 : 3;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * bytesPerPixel;
  picture.Width = static_cast<std::int32_t>(width);
  picture.Height = static_cast<std::int32_t>(height);
  picture.Pixels.resize(rowBytes * static_cast<std::size_t>(height));

  ThrowIfFailed(DecodeRows(&session, picture.Pixels.data(), rowBytes), session.Errors, name);
  return picture;
}
