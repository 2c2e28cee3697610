// cvmexport --html: the page of a batch, read as text and opened in headless Chromium.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"

namespace cvm {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The page's section about one input, found by its name.
std::string SectionOf(const std::string& page, const std::string& escapedName) {
  const size_t name = page.find("<h2>" + escapedName + "</h2>");
  if (name == std::string::npos) return std::string();
  const size_t start = page.rfind("<section", name);
  return page.substr(start, page.find("</section>", name) - start);
}

// A batch of every kind of input: written with warnings, written under a name that needs
// escaping with a node name that would be markup, broken, and with nothing to export.
struct Batch {
  TempDir dir;
  std::string odd = dir.File("odd <b>&\"name'.json");
  std::string broken = dir.File("broken.json");
  std::string empty = dir.File("empty.json");
  std::string outDir = dir.File("out");
  std::string page = dir.File("page.html");
  std::vector<std::string> inputs;

  Batch() {
    WriteText(odd, R"({"nodes": [{"name": "Lamp", "object": {"kind": "light"}},
      {"name": "<img src=x onerror=alert(1)>", "hidden": true,
       "object": {"kind": "mesh", "vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]}}]})");
    WriteText(broken, R"({"nodes": [)");
    WriteText(empty, R"({"nodes": [{"hidden": true, "object": {"kind": "light"}}]})");
    std::filesystem::create_directory(outDir);
    inputs = {EXAMPLE_SCENE, odd, broken, empty};
  }
  test::ProcessResult Convert(const std::string& pagePath) const {
    std::vector<std::string> args = inputs;
    for (const std::string& a :
         {std::string("--out-dir"), outDir, std::string("--html"), pagePath, std::string("-q")})
      args.push_back(a);
    return test::RunProcess(CVMEXPORT_PATH, args);
  }
};

TEST(CvmexportHtml, ShowsEveryInputWithItsFactsEscaped) {
  Batch batch;
  const auto result = batch.Convert(batch.page);
  EXPECT_EQ(result.exitStatus, 1) << result.err;  // the broken input fails the batch
  const std::string page = ReadText(batch.page);
  ASSERT_FALSE(page.empty());
  EXPECT_NE(page.find("<h1>4 inputs: 2 written, 1 failed, 1 with nothing to export</h1>"), std::string::npos);

  const std::string example = SectionOf(page, EXAMPLE_SCENE);
  ASSERT_FALSE(example.empty()) << page;
  const std::string output = batch.outDir + "/example_scene.cvm";
  EXPECT_NE(example.find("<span class=\"status written\">written</span>"), std::string::npos) << example;
  EXPECT_NE(example.find(output + ": " + std::to_string(std::filesystem::file_size(output)) + " bytes"),
            std::string::npos)
      << example;
  EXPECT_NE(
      example.find("<dt>meshes</dt><dd>2</dd>\n<dt>faces</dt><dd>14</dd>\n<dt>positions</dt><dd>12</dd>\n"
                   "<dt>UVs</dt><dd>8</dd>\n<dt>normals</dt><dd>7</dd>\n<dt>materials</dt><dd>3</dd>\n"
                   "<dt>textures</dt><dd>4</dd>\n<dt>lights</dt><dd>2</dd>\n<dt>helpers</dt><dd>2</dd>\n"
                   "<dt>splines</dt><dd>1</dd>"),
      std::string::npos)
      << example;
  EXPECT_NE(example.find("<li>texture &apos;brick.tga&apos; not found</li>"), std::string::npos) << example;
  EXPECT_EQ(Occurrences(example, "src=\"data:image/png;base64,iVBORw0KGgo"), 1u);  // a PNG's first bytes

  // Names from the inputs are text, never markup.
  const std::string odd = SectionOf(page, batch.dir.File("odd &lt;b&gt;&amp;&quot;name&apos;.json"));
  ASSERT_FALSE(odd.empty()) << page;
  EXPECT_NE(odd.find("mesh node &apos;&lt;img src=x onerror=alert(1)&gt;&apos; skipped: hidden"),
            std::string::npos)
      << odd;
  EXPECT_EQ(page.find("<img src=x"), std::string::npos);
  EXPECT_EQ(page.find("odd <b>"), std::string::npos);

  const std::string broken = SectionOf(page, batch.broken);
  EXPECT_NE(broken.find("<span class=\"status failed\">failed</span>"), std::string::npos) << broken;
  EXPECT_NE(broken.find("<p class=\"reason\">" + batch.broken + ": "), std::string::npos) << broken;
  const std::string empty = SectionOf(page, batch.empty);
  EXPECT_NE(empty.find("<span class=\"status nodata\">no data</span>"), std::string::npos) << empty;
  EXPECT_NE(empty.find("No Data to Export."), std::string::npos) << empty;
  for (const std::string* section : {&broken, &empty}) EXPECT_EQ(section->find("<img"), std::string::npos);

  // Everything is inside the page: no scripts, style sheets or addresses to fetch.
  for (const char* fetch : {"<script", "<link", "url(", "@import", "http:", "https:", "href=", "src=\"/"})
    EXPECT_EQ(page.find(fetch), std::string::npos) << fetch;
  EXPECT_EQ(Occurrences(page, "<img "), 2u);
}

TEST(CvmexportHtml, APageThatCannotBeWrittenFailsTheRunAndLeavesNothing) {
  Batch batch;
  batch.inputs = {EXAMPLE_SCENE};
  std::filesystem::create_directory(batch.dir.Path() / "folder");
  for (const std::string& target : {batch.dir.File("missing/page.html"), batch.dir.File("folder")}) {
    SCOPED_TRACE(target);
    const auto result = batch.Convert(target);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("'" + target + "'"), std::string::npos) << result.err;
    EXPECT_TRUE(std::filesystem::exists(batch.outDir + "/example_scene.cvm"));  // the conversion stands
  }
  EXPECT_EQ(batch.dir.Entries(),
            (std::vector<std::string>{"broken.json", "empty.json", "folder", "odd <b>&\"name'.json", "out"}));
  EXPECT_TRUE(std::filesystem::is_empty(batch.dir.Path() / "folder"));
}

std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string folders = path == nullptr ? "/usr/bin" : path;
  for (size_t start = 0; start <= folders.size();) {
    const size_t end = std::min(folders.find(':', start), folders.size());
    const std::filesystem::path candidate =
        std::filesystem::path(folders.substr(start, end - start)) / program;
    if (!folders.substr(start, end - start).empty() && std::filesystem::exists(candidate))
      return candidate.string();
    start = end + 1;
  }
  return std::string();
}

// Headless Chromium with nothing of its own on the network and a profile of the test's own.
test::ProcessResult RunChromium(const std::string& chromium, const TempDir& profile,
                                const std::vector<std::string>& args) {
  std::vector<std::string> all = {"120",
                                  chromium,
                                  "--headless",
                                  "--no-sandbox",
                                  "--disable-gpu",
                                  "--disable-quic",
                                  "--no-first-run",
                                  "--disable-background-networking",
                                  "--disable-component-update",
                                  "--disable-sync",
                                  "--user-data-dir=" + profile.Path().string()};
  all.insert(all.end(), args.begin(), args.end());
  return test::RunProcess(FindOnPath("timeout"), all);
}

TEST(CvmexportHtml, OpensFromDiskInChromiumWithEveryPictureDecoded) {
  const std::string chromium = FindOnPath("chromium");
  if (chromium.empty())
    GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh --tests installs it)";
  Batch batch;
  const std::string duck = std::string(ASSIMP_MODELS_DIR) + "/Collada/duck.dae";
  if (std::filesystem::exists(duck)) batch.inputs.push_back(duck);
  batch.Convert(batch.page);
  const std::string page = ReadText(batch.page);
  const size_t pictures = Occurrences(page, "<img ");
  ASSERT_GE(pictures, 2u);

  // A copy of the page reports, once loaded, how many of its pictures decoded at their size.
  const std::string checked = batch.dir.File("checked.html");
  std::string copy = page;
  copy.insert(copy.rfind("</body>"), R"(<script>
window.addEventListener("load", () => {
  const images = Array.from(document.images);
  const decoded = images.filter(i => i.complete && i.naturalWidth === 240 && i.naturalHeight === 180);
  const out = document.createElement("pre");
  out.id = "image-check";
  out.textContent = "decoded " + decoded.length + " of " + images.length;
  document.body.appendChild(out);
});
</script>
)");
  WriteText(checked, copy);
  TempDir profile;
  const auto dom = RunChromium(chromium, profile, {"--dump-dom", "file://" + checked});
  ASSERT_EQ(dom.exitStatus, 0) << dom.err;
  const std::string expected = "decoded " + std::to_string(pictures) + " of " + std::to_string(pictures);
  EXPECT_NE(dom.out.find("<pre id=\"image-check\">" + expected + "</pre>"), std::string::npos)
      << dom.out.substr(0, 2000);
  EXPECT_NE(dom.out.find("written, 1 failed, 1 with nothing to export</h1>"), std::string::npos);

  // The page itself, for a person to look at.
  const std::string screenshot = TEST_OUTPUT_DIR "/html_page.png";
  std::filesystem::remove(screenshot);
  TempDir profile2;
  const auto shot = RunChromium(
      chromium, profile2, {"--screenshot=" + screenshot, "--window-size=1280,1100", "file://" + batch.page});
  ASSERT_EQ(shot.exitStatus, 0) << shot.err;
  const std::vector<uint8_t> png = ReadBytes(screenshot);
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
  EXPECT_EQ((std::vector<uint8_t>(png.begin() + 16, png.begin() + 24)),
            (std::vector<uint8_t>{0, 0, 1280 >> 8, 1280 & 255, 0, 0, 1100 >> 8, 1100 & 255}));
}

}  // namespace
}  // namespace cvm
