// plivet-parts: reads a DXF file with the DXF library alone, reports its
// parts and where their records disagree with the objects, and draws them.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "picture/parts_picture.h"
#include "text/console.h"
#include "text/file_path.h"
#include "tools/parts/drawing_facts.h"
#include "tools/parts/parts_audit.h"
#include "tools/parts/parts_report.h"

namespace {

const char kUsage[] =
    "usage: plivet-parts [--json] [--svg OUT.svg] FILE.dxf\n"
    "       plivet-parts --version\n"
    "  Lists the drawing's parts (tag, members, record) and each finding:\n"
    "  errors for damaged part data, notes for records that no longer\n"
    "  match their parts.\n"
    "  --json         the same as one JSON object\n"
    "  --svg OUT.svg  also draw model space, each part in its own colour\n"
    "Exit status: 0 no error (notes may be listed), 1 at least one error,\n"
    "2 the file cannot be read, or bad arguments.\n";

// Below this a file reads faster than a person notices.
const std::uintmax_t kProgressBytes = 4u << 20;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
      .count();
}

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", value);
  return text;
}

// Model space's objects, each with its part, and the parts' members
// elsewhere, which the legend counts; the picture reads the facts in place
// and takes the blocks.
picture::PictureInput pictureInput(parts::DrawingFacts& facts,
                                   const parts::Audit& audit) {
  picture::PictureInput input;
  for (const parts::Part& part : audit.parts)
    input.parts.push_back(picture::PicturePart{part.tag, part.members.size()});
  for (std::size_t i = 0; i < facts.objects.size(); ++i) {
    const parts::DrawingObject& object = facts.objects[i];
    const int part = audit.partOfObject[i];
    const std::string* type = &facts.typeNames[object.type];
    if (object.modelSpace)
      input.objects.push_back(picture::PictureObject{
          type, object.shape.get(), part, picture::Space::Model});
    else if (part >= 0 && (object.paperSpace || object.inBlock))
      input.objects.push_back(picture::PictureObject{
          type, nullptr, part,
          object.paperSpace ? picture::Space::Paper : picture::Space::Block});
  }
  input.blocks = std::move(facts.blocks);
  return input;
}

}  // namespace

int main(int argc, char** argv) {
  text::useBytesInUtf8Out();
  const std::vector<std::string> args = text::utf8Arguments(argc, argv);
  bool json = false;
  std::string svgPath;
  std::string path;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--svg" && i + 1 < args.size()) {
      svgPath = args[++i];
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--version") {
      std::cout << "plivet-parts " PLIVET_VERSION "\n";
      return 0;
    } else if (!arg.empty() && arg[0] != '-' && path.empty()) {
      path = arg;
    } else {
      std::cerr << "plivet-parts: unexpected argument \"" << arg << "\"\n"
                << kUsage;
      return 2;
    }
  }
  if (path.empty()) {
    std::cerr << kUsage;
    return 2;
  }

  std::error_code sizeError;
  std::uintmax_t bytes =
      std::filesystem::file_size(text::systemPath(path), sizeError);
  bool progress = !sizeError && bytes > kProgressBytes;
  auto start = std::chrono::steady_clock::now();
  if (progress) {
    char size[32];
    std::snprintf(size, sizeof size, "%.1f MB",
                  static_cast<double>(bytes) / 1048576.0);
    std::cerr << "plivet-parts: " << path << " (" << size << "): reading"
              << std::flush;
  }

  parts::DrawingFacts facts;
  text::Error error;
  if (!parts::readDrawingFacts(path, !svgPath.empty(), facts, error)) {
    if (progress) std::cerr << "\n";
    // Worded as the runner's `open` words it, so both point at one line.
    std::cerr << "plivet-parts: cannot open \"" << path << "\": " << path
              << ": " << error.text() << "\n";
    return 2;
  }
  if (progress)
    std::cerr << " " << seconds(secondsSince(start)) << ", auditing"
              << std::flush;
  const parts::Audit audit = parts::auditParts(facts);

  if (!svgPath.empty()) {
    std::ofstream out;
    text::Error problem;
    if (text::openForWriting(svgPath, out, problem))
      out << picture::svgPicture(pictureInput(facts, audit));
    if (problem.message.empty() && !out) problem.message = "a write failed";
    if (!problem.message.empty()) {
      if (progress) std::cerr << "\n";
      std::cerr << "plivet-parts: cannot write \"" << svgPath
                << "\": " << problem.message << "\n";
      return 2;
    }
  }
  if (progress)
    std::cerr << ", done in " << seconds(secondsSince(start)) << "\n";
  std::cout << (json ? parts::jsonReport(path, audit)
                     : parts::humanReport(path, audit));
  return audit.hasErrors() ? 1 : 0;
}
