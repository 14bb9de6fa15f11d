#include "FuzzInput.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "Errors.h"

namespace {

// One folder per process, removed at exit, so parallel workers never share a file.
class TFuzzFolder {
public:
  TFuzzFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "porumina-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("cannot make a temporary folder from " + pattern);
    path_ = pattern;
  }
  ~TFuzzFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TFuzzFolder(const TFuzzFolder&) = delete;
  TFuzzFolder& operator=(const TFuzzFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

private:
  std::filesystem::path path_;
};

} // namespace

int FuzzSpriteFile(const std::uint8_t* data, std::size_t size, TSpriteFileKind kind) {
  static const TFuzzFolder folder;
  const std::string path = (folder.Path() / ("sprite" + EndingFor(kind))).string();
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!file)
      throw std::runtime_error("cannot write " + path);
  }
  try {
    LoadAsSceneSprite(path);
  } catch (const EPlatformError&) {
    // The file was refused with a message for the user: the outcome bad input should have.
  }
  return 0;
}
