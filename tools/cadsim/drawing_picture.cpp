// The runner's feed of the shared renderer: the host's objects, their parts
// read as the module reads them, their shapes read from the groups the host
// would save, so that whatever geometry the host keeps shows as a file of
// the drawing would show it.
#include "tools/cadsim/drawing_picture.h"

#include <algorithm>
#include <deque>
#include <map>

#include "dxf/dxf_document.h"
#include "dxf/dxf_tag_reader.h"
#include "picture/dxf_shapes.h"
#include "picture/parts_picture.h"
#include "text/ascii_case.h"

namespace cadsim {

namespace {

// The first "$" application names the part, as the module reads it.
const std::string* partTagOf(const sim::ObjectInfo& object) {
  for (const sim::XdataBlock& block : object.xdata)
    if (!block.app.empty() && block.app[0] == '$') return &block.app;
  return nullptr;
}

// GROUPS as the entity they begin and the ones after it.
std::vector<dxf::Object> entitiesOf(const std::string& groups) {
  std::vector<dxf::Object> entities;
  dxf::TagReader reader(groups, 1);
  dxf::Tag tag;
  while (reader.next(tag)) {
    if (tag.code == 0) {
      entities.emplace_back().type = std::move(tag.value);
    } else if (!entities.empty()) {
      dxf::Object& entity = entities.back();
      const bool xdata = tag.code == 1001 || !entity.xdata.empty();
      (xdata ? entity.xdata : entity.tags).push_back(std::move(tag));
    }
  }
  return entities;
}

// False for an entity the picture leaves out: one of paper space.
bool readShape(const std::string& groups, picture::Shape& shape, bool& drawn) {
  std::vector<dxf::Object> entities = entitiesOf(groups);
  drawn = false;
  if (entities.empty()) return true;
  const dxf::Object& head = entities.front();
  if (picture::inPaperSpace(head)) return false;
  drawn = picture::shapeOf(head, shape);
  if (drawn && head.type == "POLYLINE")
    for (std::size_t i = 1; i < entities.size(); ++i)
      if (entities[i].type == "VERTEX")
        shape.points.push_back(picture::vertexPoint(entities[i]));
  // Paragraph breaks are all the formatting a one-line label keeps.
  if (drawn && head.type == "MTEXT")
    for (std::size_t at; (at = shape.text.find("\\P")) != std::string::npos;)
      shape.text.replace(at, 2, " ");
  return true;
}

}  // namespace

std::size_t PartOrder::placeOf(const std::string& tag) {
  const std::string folded = text::upperAscii(tag);
  const auto found = std::find(folded_.begin(), folded_.end(), folded);
  if (found != folded_.end())
    return static_cast<std::size_t>(found - folded_.begin());
  folded_.push_back(folded);
  return folded_.size() - 1;
}

bool drawingPicture(const sim::Host& host, const std::string& name,
                    PartOrder& order, std::string& svg, text::Error& error) {
  const std::vector<std::string> open = host.drawingNames();
  if (std::find(open.begin(), open.end(), name) == open.end()) {
    error.message = "no drawing \"" + name + "\" is open";
    return false;
  }
  const sim::DrawingInfo drawing = host.drawingInfo(name);
  struct Seen {
    const sim::ObjectInfo* object;
    const picture::Shape* shape;
    std::size_t place;  // in the session's part order; npos for none
  };
  constexpr std::size_t kNoPart = static_cast<std::size_t>(-1);
  std::deque<picture::Shape> shapes;
  std::vector<Seen> seen;
  // A part's members in paper space count, though the picture leaves them
  // out.
  std::map<std::size_t, picture::PicturePart> parts;
  for (const sim::ObjectInfo& object : drawing.objects) {
    if (object.erased || !object.entity) continue;
    const std::string* tag = partTagOf(object);
    const std::size_t place = tag ? order.placeOf(*tag) : kNoPart;
    if (tag) {
      picture::PicturePart& part = parts[place];
      if (part.members++ == 0) part.tag = *tag;
    }
    std::string groups;
    text::Error unread;
    bool drawn = false;
    picture::Shape& shape = shapes.emplace_back();
    if (host.entityGroups(object.id, groups, unread) &&
        !readShape(groups, shape, drawn))
      continue;
    seen.push_back(Seen{&object, drawn ? &shape : nullptr, place});
  }
  picture::PictureInput input;
  std::map<std::size_t, int> index;
  for (const auto& part : parts) {
    index[part.first] = static_cast<int>(input.parts.size());
    input.parts.push_back(part.second);
  }
  for (const Seen& entity : seen)
    input.objects.push_back(picture::PictureObject{
        &entity.object->type, entity.shape,
        entity.place == kNoPart ? -1 : index[entity.place]});
  svg = picture::svgPicture(input);
  return true;
}

}  // namespace cadsim
