// Drawings of R12 (AC1009) and R13/R14 (AC1012, AC1014) upgraded as they are
// read, as a host does: handles for what has none, owners, block records,
// the root dictionary and the rest of an AC1015 drawing's skeleton.
#ifndef DXF_DXF_UPGRADE_H
#define DXF_DXF_UPGRADE_H

#include <cstdint>
#include <string_view>
#include <vector>

#include "dxf/dxf_document.h"

namespace dxf {

// The oldest version written, and the one older drawings are upgraded to.
extern const char* const kUpgradedVersion;

// True for a version read but older than kUpgradedVersion.
bool needsUpgrade(std::string_view version);

// A polyline's vertices, an insert's attributes and the SEQEND after them
// belong to the entity before them.
bool isFollower(std::string_view type);

// What the entities a reader handed to its sink ask of the upgrade: they
// are not in the document, yet their handles decide where new ones start.
struct SunkEntities {
  std::uint64_t highestHandle = 0;
  std::uint64_t withoutHandle = 0;  // entities and followers alike
};

// Upgrades DOCUMENT in place. Objects without a handle get one above every
// handle of the file, in file order: tables, blocks, entities (SUNK's first,
// then the document's own), objects; then come the block records of every
// block, and what completeSkeleton adds. The same file always gets the same
// handles. Returns the first handle of SUNK's entities without one, which
// the caller gives them in file order (upgradeEntityGroup).
std::uint64_t upgradeDocument(Document& document, const SunkEntities& sunk);

// Gives an entity and its followers, as an upgraded file holds them, the
// handles they lack from NEXT on; followers without an owner are owned by
// the entity, an entity without one by model space (paper space with 67:1).
// True when anything changed.
bool upgradeEntityGroup(const Document& upgraded, std::vector<Object>& group,
                        std::uint64_t& next);

}  // namespace dxf

#endif
