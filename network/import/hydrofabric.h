// A hydrofabric GeoPackage read as the basin it describes: its attribute tables (flowpaths,
// nexus points, channel attributes, lakes) through SQLite, never its geometry. Both releases
// in use spell tables and columns their own way; one table (kTableSpellings, kColumnSpellings)
// lists every spelling, matched without regard to case and with `_` and `-` alike.
// Topology: flowpath -> nexus -> flowpath; reach_id is the number in the flowpath's id
// (`wb-10236` -> 10236). Lengths m, slopes m/m, widths m, flows m3/s.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "network/import/basin.h"

namespace tovalin::network::import {

// An input the importer refuses: each problem a line naming the tables, columns and ids
// concerned (at most kNamedIds ids per kind of problem, then the count of the rest).
class RefusedInput : public std::runtime_error {
 public:
  explicit RefusedInput(std::vector<std::string> problems);
  const std::vector<std::string>& problems() const noexcept { return problems_; }

 private:
  std::vector<std::string> problems_;
};
inline constexpr std::size_t kNamedIds = 10;

// The tables the importer reads.
enum class HydrofabricTable { kFlowpaths, kNexus, kAttributes, kLakes };

// What each column read becomes.
enum class HydrofabricField {
  kFlowpathId, kFlowpathToId, kOrder,
  kNexusId, kNexusToId,
  kAttributeId, kAttributeToId, kLength, kManningN, kManningNCompound, kSlope, kSideSlope,
  kBottomWidth, kTopWidth, kTopWidthCompound, kMuskingumK, kMuskingumX, kInitialFlow,
  kGage, kWaterbody, kAltitude,
  kLakeId, kLakeArea, kLakeMaxElevation, kWeirCoefficient, kWeirLength, kWeirElevation,
  kOrificeCoefficient, kOrificeArea, kOrificeElevation, kDamLength, kInitialFractionalDepth,
};

// One table's spellings: the release of 2023 first, then release v2.2 (the same where they
// agree). A lakes table is read where present.
struct TableSpelling {
  HydrofabricTable table;
  std::string_view release2023, release22;
  bool required;
};
inline constexpr TableSpelling kTableSpellings[] = {
    {HydrofabricTable::kFlowpaths, "flowpaths", "flowpaths", true},
    {HydrofabricTable::kNexus, "nexus", "nexus", true},
    {HydrofabricTable::kAttributes, "flowpath_attributes", "flowpath-attributes", true},
    {HydrofabricTable::kLakes, "lake_attributes", "lakes", false},
};

// One column's spellings (empty: that release has no such column), and one more accepted
// where the national water model's own RouteLink and LAKEPARM files name it otherwise. Any of
// them is accepted in any file, the first present in this order winning. A required column's
// absence refuses the file; an optional one reads as documented in docs/import.md.
struct ColumnSpelling {
  HydrofabricField field;
  HydrofabricTable table;
  std::string_view release2023, release22;
  bool required;
  std::string_view alsoAccepted = {};
};
inline constexpr ColumnSpelling kColumnSpellings[] = {
    {HydrofabricField::kFlowpathId, HydrofabricTable::kFlowpaths, "id", "id", true},
    {HydrofabricField::kFlowpathToId, HydrofabricTable::kFlowpaths, "toid", "toid", true},
    {HydrofabricField::kOrder, HydrofabricTable::kFlowpaths, "order", "order", false},
    {HydrofabricField::kNexusId, HydrofabricTable::kNexus, "id", "id", true},
    {HydrofabricField::kNexusToId, HydrofabricTable::kNexus, "toid", "toid", true},
    {HydrofabricField::kAttributeId, HydrofabricTable::kAttributes, "id", "link", true},
    {HydrofabricField::kAttributeToId, HydrofabricTable::kAttributes, "", "to", false},
    {HydrofabricField::kLength, HydrofabricTable::kAttributes, "length_m", "Length_m", true},
    {HydrofabricField::kManningN, HydrofabricTable::kAttributes, "n", "n", true},
    {HydrofabricField::kManningNCompound, HydrofabricTable::kAttributes, "nCC", "nCC", true},
    {HydrofabricField::kSlope, HydrofabricTable::kAttributes, "So", "So", true},
    {HydrofabricField::kSideSlope, HydrofabricTable::kAttributes, "ChSlp", "ChSlp", true},
    {HydrofabricField::kBottomWidth, HydrofabricTable::kAttributes, "BtmWdth", "BtmWdth", true},
    {HydrofabricField::kTopWidth, HydrofabricTable::kAttributes, "TopWdth", "TopWdth", true},
    {HydrofabricField::kTopWidthCompound, HydrofabricTable::kAttributes, "TopWdthCC", "TopWdthCC",
     true},
    {HydrofabricField::kMuskingumK, HydrofabricTable::kAttributes, "MusK", "MusK", false},
    {HydrofabricField::kMuskingumX, HydrofabricTable::kAttributes, "MusX", "MusX", false},
    {HydrofabricField::kInitialFlow, HydrofabricTable::kAttributes, "Qi", "", false},
    {HydrofabricField::kGage, HydrofabricTable::kAttributes, "rl_gages", "gage", false},
    {HydrofabricField::kWaterbody, HydrofabricTable::kAttributes, "rl_NHDWaterbodyComID", "",
     false, "NHDWaterbodyComID"},
    {HydrofabricField::kAltitude, HydrofabricTable::kAttributes, "", "alt", false},
    {HydrofabricField::kLakeId, HydrofabricTable::kLakes, "id", "id", true, "lake_id"},
    {HydrofabricField::kLakeArea, HydrofabricTable::kLakes, "LkArea", "LkArea", true},
    {HydrofabricField::kLakeMaxElevation, HydrofabricTable::kLakes, "LkMxE", "LkMxE", true},
    {HydrofabricField::kWeirCoefficient, HydrofabricTable::kLakes, "WeirC", "WeirC", true},
    {HydrofabricField::kWeirLength, HydrofabricTable::kLakes, "WeirL", "WeirL", true},
    {HydrofabricField::kWeirElevation, HydrofabricTable::kLakes, "WeirE", "WeirE", true},
    {HydrofabricField::kOrificeCoefficient, HydrofabricTable::kLakes, "OrificeC", "OrificeC", true},
    {HydrofabricField::kOrificeArea, HydrofabricTable::kLakes, "OrificeA", "OrificeA", true},
    {HydrofabricField::kOrificeElevation, HydrofabricTable::kLakes, "OrificeE", "OrificeE", true},
    {HydrofabricField::kDamLength, HydrofabricTable::kLakes, "Dam_Length", "Dam_Length", true},
    {HydrofabricField::kInitialFractionalDepth, HydrofabricTable::kLakes, "ifd", "ifd", true},
};

// A table or column name as the importer compares it: lower case, `-` read as `_`.
std::string NormalizedName(std::string_view name);

// The number of an id of the form prefix-number (`wb-10236`, `nex-7`): the prefix letters
// (any case), one `-`, then decimal digits only, the number fitting 64 bits. Empty otherwise.
std::optional<std::int64_t> PrefixedNumber(std::string_view id, std::string_view prefix);
// The same for any prefix of ASCII letters (nexus points; the prefix is returned in `prefix`).
std::optional<std::int64_t> AnyPrefixedNumber(std::string_view id, std::string* prefix = nullptr);

// One nexus point: its number, and the flowpath (reach_id) its flow enters, 0 when it drains
// nowhere (a terminal nexus: `wb-0`, empty, or a flowpath the file does not hold).
struct Nexus {
  std::int64_t id = 0;
  ReachId drainsInto = 0;
  std::int32_t flowpathsIn = 0;  // flowpaths draining into it (a junction: more than one)
};

// A hydrofabric read: the basin (links in ascending reach_id, each link's toId the flowpath
// below its nexus, 0 below a terminal nexus), the nexus points in ascending number, and the
// lines the import command reports (lakes that could not be placed, nexus points draining
// out of the file, attribute rows without a flowpath).
struct Hydrofabric {
  Basin basin;
  std::vector<Nexus> nexuses;
  std::vector<std::string> notes;
};

// Reads a GeoPackage (any SQLite database holding the tables). Throws FileError (of
// network/netcdf_io.h) when the file cannot be opened or read as a database, RefusedInput
// when it lacks a table or column the router needs (one line naming the table and column) or
// when its rows are refused: ids not of the form prefix-number, duplicated rows, a flowpath
// without attributes or draining into no nexus of the file, a nexus that drains into two
// flowpaths, required values that are empty or not numbers.
Hydrofabric ReadHydrofabric(const std::string& path);

}  // namespace tovalin::network::import
