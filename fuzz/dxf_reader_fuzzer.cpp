// libFuzzer target of the DXF reader: any input is either refused with a
// line and a message, or read into a document that, completed (upgraded when
// older than AC1015) and written, reads back and writes the same text again,
// with no handle given twice. The reader's quick check of
// reals must agree with converting them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dxf/dxf_document_reader.h"
#include "dxf/dxf_document_writer.h"
#include "dxf/dxf_skeleton.h"
#include "dxf/dxf_tag.h"
#include "dxf/dxf_upgrade.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  double real;
  if (dxf::isReal(text.substr(0, 400)) !=
      dxf::parseReal(text.substr(0, 400), real))
    std::abort();
  dxf::Document document;
  text::Error error;
  if (!dxf::readDocument(text, document, error)) {
    if (error.message.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  if (dxf::needsUpgrade(document.version()))
    dxf::upgradeDocument(document, dxf::SunkEntities());
  else
    dxf::completeSkeleton(document);
  std::string written = dxf::writeDocument(document);
  dxf::Document again;
  if (!dxf::readDocument(written, again, error)) std::abort();
  if (dxf::writeDocument(again) != written) std::abort();
  return 0;
}
