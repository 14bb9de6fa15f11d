// Bad picture files: the fuzzers' corpus and crash inputs replayed through the scene's loading
// path, and broken sprite files through the whole start-up.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "Application.h"
#include "Errors.h"
#include "HeadlessBackend.h"
#include "ProgramBody.h"
#include "ProgramState.h"
#include "SpriteEntry.h"
#include "SpriteFiles.h"
#include "UnitBmp.h"
#include "UnitCommon.h"
#include "UnitForm.h"

namespace fs = std::filesystem;

namespace {

const fs::path kFuzzDir = fs::path(PORUMINA_SOURCE_DIR) / "fuzz";

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  if (path.has_parent_path())
    fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i)
    bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// ---- The fuzzers' inputs ----

struct ReplayTally {
  int loaded = 0;
  int refused = 0;
};

// Loads every file under `folder` as a sprite of `kind`; each must load or be refused with a
// platform error that names the file.
ReplayTally Replay(const fs::path& folder, TSpriteFileKind kind, const fs::path& scratch) {
  ReplayTally tally;
  if (!fs::is_directory(folder))
    return tally;
  std::vector<fs::path> inputs;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file())
      inputs.push_back(entry.path());
  std::sort(inputs.begin(), inputs.end());
  const std::string path = (scratch / ("sprite" + EndingFor(kind))).string();
  for (const fs::path& input : inputs) {
    SCOPED_TRACE(input.string());
    fs::copy_file(input, path, fs::copy_options::overwrite_existing);
    try {
      LoadAsSceneSprite(path);
      ++tally.loaded;
    } catch (const EPlatformError& error) {
      ++tally.refused;
      EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    } catch (const std::exception& error) {
      ADD_FAILURE() << "escaped as a non-platform error: " << error.what();
    }
    EXPECT_EQ(Sprite.get(), nullptr);
    EXPECT_EQ(BackBuffer.get(), nullptr);
  }
  return tally;
}

TEST(FuzzReplay, EverySeedAndCrashInputLoadsOrIsRefusedNamingTheFile) {
  const ScopedWorkDir dir;
  const struct {
    const char* name;
    TSpriteFileKind kind;
  } kinds[] = {{"bmp", TSpriteFileKind::Bmp}, {"jpeg", TSpriteFileKind::Jpeg}};
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.name);
    const ReplayTally seeds = Replay(kFuzzDir / "corpus" / kind.name, kind.kind, dir.Path());
    // The corpus must reach the whole path, past the size check and the root scan.
    EXPECT_GT(seeds.loaded, 0);
    EXPECT_GT(seeds.loaded + seeds.refused, 5) << "corpus folder missing or nearly empty";
    Replay(kFuzzDir / "crashes" / kind.name, kind.kind, dir.Path());
  }
}

// ---- Broken sprite files through the whole start-up ----

// A 24-bit bottom-up BMP of 100 x 200 with pure-red roots, as the helper writes it.
std::vector<std::uint8_t> ValidSpriteBytes() {
  const fs::path scratch =
      fs::temp_directory_path() / ("porumina-valid-" + std::to_string(getpid()));
  WriteBmp(scratch / "s.bmp",
           SpritePicture{100, 200, RGBColor(0, 255, 0), {{{10, 10}, RGBColor(255, 0, 0)}}});
  auto bytes = ReadBytes(scratch / "s.bmp");
  fs::remove_all(scratch);
  return bytes;
}

// A 100 x 200 RLE8 header and two-colour palette followed by `stream`.
std::vector<std::uint8_t> Rle8SpriteBytes(const std::vector<std::uint8_t>& stream) {
  std::vector<std::uint8_t> bytes = ValidSpriteBytes();
  bytes.resize(54);
  Put32(bytes, 10, 54 + 8);
  bytes[28] = 8;
  Put32(bytes, 30, 1);
  Put32(bytes, 46, 2);
  const std::uint8_t palette[] = {0, 255, 0, 0, 0, 0, 255, 0};
  bytes.insert(bytes.end(), std::begin(palette), std::end(palette));
  bytes.insert(bytes.end(), stream.begin(), stream.end());
  return bytes;
}

// Everything under the working folder: path -> (type, size, modification time).
using FolderState = std::map<std::string, std::tuple<int, std::uintmax_t, std::int64_t>>;

FolderState StateOf(const fs::path& root) {
  FolderState state;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    struct stat info {};
    ::lstat(entry.path().c_str(), &info);
    state[entry.path().string()] = {static_cast<int>(info.st_mode), info.st_size,
                                    info.st_mtim.tv_sec * 1'000'000'000 + info.st_mtim.tv_nsec};
  }
  return state;
}

class BadSpriteStartTest : public ::testing::Test {
protected:
  void SetUp() override { ResetProgramState(); }

  // Starts the program; a start-up that unexpectedly succeeds is closed at the first pump.
  int Start() {
    pumped = false;
    boxes.clear();
    return RunProgram(
        [this] {
          auto backend = std::make_unique<HeadlessBackend>();
          backend->onPump = [this] {
            pumped = true;
            PostMessageA(FormMain->Handle(), WM_CLOSE, 0, 0);
          };
          backend->onDestroy = [this](HeadlessBackend& ending) { boxes = ending.boxes; };
          return backend;
        },
        ProgramBody);
  }

  ScopedWorkDir dir;
  bool pumped = false;
  std::vector<HeadlessBox> boxes;
};

TEST_F(BadSpriteStartTest, EveryBrokenSpriteEndsStartUpWithOneErrorBoxNamingFileAndFault) {
  const std::string sprite = "dat/fiwa.bmp";
  const auto write = [sprite](const std::vector<std::uint8_t>& bytes) {
    return [sprite, bytes] { WriteBytes(sprite, bytes); };
  };
  const auto sized = [sprite](std::int32_t width, std::int32_t height) {
    return [sprite, width, height] {
      WriteBmp(sprite, SpritePicture{width, height, RGBColor(0, 255, 0), {}});
    };
  };
  const auto headerClaiming = [](std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> bytes = ValidSpriteBytes();
    bytes.resize(54);
    Put32(bytes, 18, width);
    Put32(bytes, 22, height);
    return bytes;
  };
  const std::vector<std::uint8_t> valid = ValidSpriteBytes();
  const std::vector<std::uint8_t> jpeg = ReadBytes(kFuzzDir / "corpus/jpeg/sprite-100x200.jpg");
  ASSERT_FALSE(jpeg.empty());

  const struct Case {
    const char* what;
    std::function<void()> make;
    std::string fault;
    bool needsUnprivileged = false;
  } cases[] = {
      {"missing", [] { fs::create_directories("dat"); }, "を開けません: ファイルが見つかりません"},
      {"a directory", [sprite] { fs::create_directories(sprite); },
       "を開けません: ディレクトリです"},
      {"unreadable",
       [sprite, valid] {
         WriteBytes(sprite, valid);
         fs::permissions(sprite, fs::perms::none);
       },
       "を開けません: アクセスが拒否されました", true},
      {"empty", write({}), "先頭が \"BM\" ではありません"},
      {"not a BMP", write({'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}),
       "先頭が \"BM\" ではありません"},
      {"a JPEG named .bmp", write(jpeg), "先頭が \"BM\" ではありません"},
      {"file header cut short", write({valid.begin(), valid.begin() + 12}),
       "ヘッダーが途中で切れています"},
      {"info header cut short", write({valid.begin(), valid.begin() + 40}),
       "ヘッダーが途中で切れています"},
      {"pixel data cut short", write({valid.begin(), valid.begin() + 54 + 300 * 100}),
       "画素データが途中で切れています"},
      {"2^31 x 2^31 pixels", write(headerClaiming(0x80000000u, 0x80000000u)),
       "幅 -2147483648 は無効です"},
      {"2^31-1 x 2^31-1 pixels", write(headerClaiming(0x7FFFFFFFu, 0x7FFFFFFFu)),
       "画像が大きすぎます (2147483647 x 2147483647)"},
      {"99 x 200", sized(99, 200), "スプライトが小さすぎます (幅 99, 高さ 200;"},
      {"100 x 199", sized(100, 199), "スプライトが小さすぎます (幅 100, 高さ 199;"},
      {"1 x 1", sized(1, 1), "スプライトが小さすぎます (幅 1, 高さ 1;"},
      // A run, then a literal group of 200 bytes of which only 3 are in the file.
      {"RLE stream past the end", write(Rle8SpriteBytes({100, 0, 0, 200, 1, 1, 1})),
       "RLE データが途中で切れています"},
      {"RLE stream without its end mark", write(Rle8SpriteBytes({100, 0, 0, 0, 100, 1})),
       "RLE データが途中で切れています"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsUnprivileged && geteuid() == 0) {
      std::printf("skipped \"%s\": permissions do not stop root\n", c.what);
      continue;
    }
    fs::remove_all("dat");
    c.make();
    const FolderState before = StateOf(dir.Path());

    EXPECT_EQ(Start(), 1);

    EXPECT_FALSE(pumped); // the window never showed, the loop never ran
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "ポルミナ");
    EXPECT_EQ(boxes[0].Icon, TBoxIcon::Stop);
    EXPECT_NE(boxes[0].Text.find(sprite), std::string::npos) << boxes[0].Text;
    EXPECT_NE(boxes[0].Text.find(c.fault), std::string::npos) << boxes[0].Text;
    EXPECT_EQ(StateOf(dir.Path()), before);
    EXPECT_EQ(FormMain, nullptr);
    EXPECT_EQ(Sprite.get(), nullptr);
    EXPECT_FALSE(TimerExists);
    EXPECT_FALSE(MidiExists);
    if (fs::exists(sprite))
      fs::permissions(sprite, fs::perms::owner_all, fs::perm_options::add);
  }
}

} // namespace
