// Loading picture files into memory.
#include "ImageFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "Errors.h"

namespace {

std::string ReasonFor(int error) {
  switch (error) {
  case ENOENT:
    return "ファイルが見つかりません";
  case EACCES:
  case EPERM:
    return "アクセスが拒否されました";
  case EISDIR:
    return "ディレクトリです";
  default:
    return "エラー番号 " + std::to_string(error);
  }
}

[[noreturn]] void RaiseCannotOpen(const std::string& path, const std::string& reason) {
  throw EFOpenError("ファイル " + path + " を開けません: " + reason);
}

class TFileDescriptor {
public:
  explicit TFileDescriptor(int fd) : fd_(fd) {}
  ~TFileDescriptor() { ::close(fd_); }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;
  int Get() const { return fd_; }

private:
  int fd_;
};

} // namespace

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  // Non-blocking, so that opening a FIFO does not wait for a writer before it is refused.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0)
    RaiseCannotOpen(path, ReasonFor(errno));
  const TFileDescriptor file(fd);

  struct stat info {};
  if (::fstat(file.Get(), &info) != 0)
    RaiseCannotOpen(path, ReasonFor(errno));
  if (S_ISDIR(info.st_mode))
    RaiseCannotOpen(path, "ディレクトリです");
  if (!S_ISREG(info.st_mode))
    RaiseCannotOpen(path, "通常のファイルではありません");
  if (info.st_size > kMaxImageFileBytes)
    RaiseCannotOpen(path, "ファイルが大きすぎます");

  // One spare byte shows whether the file grew since fstat; reading goes on to its real end,
  // but never past the limit.
  constexpr auto kLimit = static_cast<std::size_t>(kMaxImageFileBytes);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size) + 1);
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) {
      if (bytes.size() > kLimit)
        RaiseCannotOpen(path, "ファイルが大きすぎます");
      bytes.resize(std::min(bytes.size() * 2, kLimit + 1));
    }
    const ssize_t got = ::read(file.Get(), bytes.data() + filled, bytes.size() - filled);
    if (got < 0) {
      if (errno == EINTR)
        continue;
      RaiseCannotOpen(path, ReasonFor(errno));
    }
    if (got == 0)
      break;
    filled += static_cast<std::size_t>(got);
  }
  bytes.resize(filled);
  return bytes;
}
