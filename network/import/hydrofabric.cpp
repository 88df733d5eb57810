// Reading a hydrofabric GeoPackage through SQLite's C interface: each table found by any of
// its spellings, its columns likewise, the rows checked and joined into the basin and the
// nexus points. Nothing of the geometry is read.
#include "network/import/hydrofabric.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <unordered_set>

#include "network/netcdf_io.h"
#include "tovalin/result.hpp"

namespace tovalin::network::import {

RefusedInput::RefusedInput(std::vector<std::string> problems)
    : std::runtime_error(problems.empty() ? std::string("input refused") : problems.front()),
      problems_(std::move(problems)) {}

std::string NormalizedName(std::string_view name) {
  std::string s(name);
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == '-') c = '_';
  }
  return s;
}

namespace {

bool Letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The decimal number of a text of digits only (no sign, no blank), fitting 64 bits.
std::optional<std::int64_t> Digits(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.front() == '-')
    return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::int64_t> AnyPrefixedNumber(std::string_view id, std::string* prefix) {
  const std::size_t dash = id.find('-');
  if (dash == 0 || dash == std::string_view::npos) return std::nullopt;
  if (!std::all_of(id.begin(), id.begin() + dash, Letter)) return std::nullopt;
  const auto number = Digits(id.substr(dash + 1));
  if (number && prefix) *prefix = NormalizedName(id.substr(0, dash));
  return number;
}

std::optional<std::int64_t> PrefixedNumber(std::string_view id, std::string_view prefix) {
  std::string found;
  const auto number = AnyPrefixedNumber(id, &found);
  if (!number || found != NormalizedName(prefix)) return std::nullopt;
  return number;
}

namespace {

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// The ids of one kind of problem, worded as one line: "what: a, b and 3 more".
class Finding {
 public:
  explicit Finding(std::string what) : what_(std::move(what)) {}
  void Add(const std::string& id) {
    if (named_.size() < kNamedIds) named_.push_back(id);
    ++count_;
  }
  std::size_t count() const noexcept { return count_; }
  std::string Line() const {
    std::string line = what_ + ": ";
    for (std::size_t i = 0; i < named_.size(); ++i) line += (i ? ", " : "") + named_[i];
    if (count_ > named_.size()) line += " and " + std::to_string(count_ - named_.size()) + " more";
    return line;
  }
  void AppendTo(std::vector<std::string>& lines) const {
    if (count_ > 0) lines.push_back(Line());
  }

 private:
  std::string what_;
  std::vector<std::string> named_;
  std::size_t count_ = 0;
};

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// An SQL identifier in double quotes, a quote inside it doubled.
std::string Identifier(std::string_view name) {
  std::string s = "\"";
  for (char c : name) s += c == '"' ? std::string("\"\"") : std::string(1, c);
  return s + "\"";
}

// "So", or "id (or link)" where the releases spell a column differently.
std::string Spellings(std::string_view a, std::string_view b) {
  if (a.empty()) return std::string(b);
  if (b.empty() || NormalizedName(a) == NormalizedName(b)) return std::string(a);
  return std::string(a) + " (or " + std::string(b) + ")";
}

// A cell of a row: empty (NULL or blank text), a number, or something else.
struct Cell {
  enum Kind { kEmpty, kNumber, kNotNumber } kind = kEmpty;
  double number = 0.0;
};

std::string Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

// One open database and the statements that read it.
class Gpkg {
 public:
  explicit Gpkg(const std::string& path) : path_(path) {
    sqlite3* db = nullptr;
    const int status = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    db_.reset(db);
    if (status != SQLITE_OK)
      throw FileError(path + ": cannot open: " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(status)));
  }
  const std::string& path() const noexcept { return path_; }

  Statement Prepare(const std::string& sql) const {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      sqlite3_finalize(statement);
      throw FileError(path_ + ": cannot read: " + sqlite3_errmsg(db_.get()));
    }
    return Statement(statement);
  }
  // Steps a statement: true with a row, false at its end; a failure is a FileError.
  bool Step(sqlite3_stmt* statement) const {
    const int status = sqlite3_step(statement);
    if (status == SQLITE_ROW) return true;
    if (status == SQLITE_DONE) return false;
    throw FileError(path_ + ": cannot read: " + sqlite3_errmsg(db_.get()));
  }
  std::vector<std::string> Strings(const std::string& sql, int column) const {
    std::vector<std::string> names;
    const Statement statement = Prepare(sql);
    while (Step(statement.get())) names.push_back(Text(statement.get(), column));
    return names;
  }
  static std::string Text(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
  }

 private:
  std::string path_;
  Database db_;
};

// The number in a cell: an integer or real column, or a text that is a number entire.
Cell NumberCell(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
      return {};
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
      const double v = sqlite3_column_double(statement, column);
      return std::isfinite(v) ? Cell{Cell::kNumber, v} : Cell{Cell::kNotNumber, 0.0};
    }
    default: {
      const std::string text = Trimmed(Gpkg::Text(statement, column));
      if (text.empty()) return {};
      double v = 0.0;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
      if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return {Cell::kNotNumber, 0.0};
      return {Cell::kNumber, v};
    }
  }
}

// A table found in the file, the column (index in its SELECT) of each field read, -1 absent.
struct FoundTable {
  std::string name;
  std::array<int, std::size(kColumnSpellings)> column{};
  Statement rows;
};

std::size_t FieldIndex(HydrofabricField field) {
  for (std::size_t i = 0; i < std::size(kColumnSpellings); ++i)
    if (kColumnSpellings[i].field == field) return i;
  return 0;
}

// Finds a table and its columns; a table or required column missing, or a spelling matched
// twice, is a problem line. Returns nothing when the table is absent or refused.
std::optional<FoundTable> FindTable(const Gpkg& file, const std::vector<std::string>& tables,
                                    const TableSpelling& spelling,
                                    std::vector<std::string>& problems) {
  std::vector<std::string> matches;
  for (std::string_view wanted : {spelling.release2023, spelling.release22}) {
    for (const auto& name : tables)
      if (NormalizedName(name) == NormalizedName(wanted) &&
          std::find(matches.begin(), matches.end(), name) == matches.end())
        matches.push_back(name);
    if (!matches.empty()) break;
  }
  const std::string label = Spellings(spelling.release2023, spelling.release22);
  if (matches.empty()) {
    if (spelling.required) problems.push_back(file.path() + ": no table " + label);
    return std::nullopt;
  }
  if (matches.size() > 1) {
    problems.push_back(file.path() + ": tables " + Quoted(matches[0]) + " and " +
                       Quoted(matches[1]) + " both read as table " + label);
    return std::nullopt;
  }
  FoundTable found;
  found.name = matches.front();
  found.column.fill(-1);
  const std::vector<std::string> columns =
      file.Strings("PRAGMA table_info(" + Identifier(found.name) + ")", 1);
  std::string select;
  int selected = 0;
  bool refused = false;
  for (std::size_t i = 0; i < std::size(kColumnSpellings); ++i) {
    const ColumnSpelling& c = kColumnSpellings[i];
    if (c.table != spelling.table) continue;
    std::vector<std::string> hits;
    for (std::string_view wanted : {c.release2023, c.release22, c.alsoAccepted}) {
      if (wanted.empty()) continue;
      for (const auto& name : columns)
        if (NormalizedName(name) == NormalizedName(wanted) &&
            std::find(hits.begin(), hits.end(), name) == hits.end())
          hits.push_back(name);
      if (!hits.empty()) break;  // the first spelling present wins
    }
    if (hits.empty()) {
      if (c.required) {
        problems.push_back(file.path() + ": table " + Quoted(found.name) + " has no column " +
                           Spellings(c.release2023, c.release22));
        refused = true;
      }
      continue;
    }
    if (hits.size() > 1) {
      problems.push_back(file.path() + ": columns " + Quoted(hits[0]) + " and " +
                         Quoted(hits[1]) + " of table " + Quoted(found.name) +
                         " both read as column " + Spellings(c.release2023, c.release22));
      refused = true;
      continue;
    }
    select += (selected ? ", " : "") + Identifier(hits.front());
    found.column[i] = selected++;
  }
  if (refused) return std::nullopt;
  found.rows = file.Prepare("SELECT " + select + " FROM " + Identifier(found.name));
  return found;
}

// Rows of one table, read through the fields of the spelling table.
class Rows {
 public:
  Rows(const Gpkg& file, FoundTable& table) : file_(file), table_(table) {}
  bool Next() { return file_.Step(table_.rows.get()); }
  bool Has(HydrofabricField field) const { return Column(field) >= 0; }
  // The cell's text, blank-trimmed; empty for NULL or an absent column.
  std::string Text(HydrofabricField field) const {
    const int c = Column(field);
    if (c < 0 || sqlite3_column_type(table_.rows.get(), c) == SQLITE_NULL) return {};
    return Trimmed(Gpkg::Text(table_.rows.get(), c));
  }
  Cell Number(HydrofabricField field) const {
    const int c = Column(field);
    return c < 0 ? Cell{} : NumberCell(table_.rows.get(), c);
  }
  // "flowpath_attributes.So": a column as the file spells it.
  std::string Label(HydrofabricField field) const {
    const auto& c = kColumnSpellings[FieldIndex(field)];
    return table_.name + "." + std::string(c.release2023.empty() ? c.release22 : c.release2023);
  }
  const std::string& table() const noexcept { return table_.name; }

 private:
  int Column(HydrofabricField field) const { return table_.column[FieldIndex(field)]; }
  const Gpkg& file_;
  FoundTable& table_;
};

// The problems of one table's cells, a Finding per column and kind.
class CellProblems {
 public:
  // A required number: empty or not a number is a problem named by the row's id.
  double Required(const Rows& rows, HydrofabricField field, const std::string& id) {
    const Cell cell = rows.Number(field);
    if (cell.kind == Cell::kNumber) return cell.number;
    Of(rows.Label(field) + (cell.kind == Cell::kEmpty ? " is empty" : " is not a number")).Add(id);
    return kUndefined;
  }
  // An optional number: empty reads as `absent`; not a number is a problem.
  double Optional(const Rows& rows, HydrofabricField field, const std::string& id,
                  double absent) {
    const Cell cell = rows.Number(field);
    if (cell.kind == Cell::kNumber) return cell.number;
    if (cell.kind == Cell::kNotNumber) Of(rows.Label(field) + " is not a number").Add(id);
    return absent;
  }
  Finding& Of(const std::string& what) {
    for (auto& f : findings_)
      if (f.first == what) return f.second;
    findings_.emplace_back(what, Finding(what));
    return findings_.back().second;
  }
  void AppendTo(std::vector<std::string>& problems) const {
    for (const auto& f : findings_) f.second.AppendTo(problems);
  }

 private:
  std::vector<std::pair<std::string, Finding>> findings_;
};

struct FlowpathRow {
  ReachId id = 0;
  std::int64_t nexus = 0;
  std::string toText;  // the nexus id as the file writes it
  std::int32_t order = 0;
};
struct NexusRow {
  std::int64_t id = 0;
  ReachId toId = 0;  // 0: terminal
  std::string text;  // the id as the file writes it
};
struct AttributeRow {
  ChannelLink link;
  std::optional<std::int64_t> toNexus;
  std::int64_t waterbody = kNoWaterbody;
};

// Stream orders are small whole numbers; a larger one is a broken file.
constexpr double kLargestOrder = 1000.0;

std::string FlowpathName(ReachId id) { return "wb-" + std::to_string(id); }
std::string NexusName(std::int64_t id) { return "nex-" + std::to_string(id); }

// Ids that occur twice in rows sorted by id, as one problem line.
template <typename Row, typename Id, typename Name>
void RefuseDuplicates(const std::vector<Row>& rows, Id id, Name name, const std::string& what,
                      std::vector<std::string>& problems) {
  Finding duplicated(what);
  for (std::size_t i = 1; i < rows.size(); ++i)
    if (id(rows[i]) == id(rows[i - 1]) && (i < 2 || id(rows[i - 2]) != id(rows[i])))
      duplicated.Add(name(rows[i]));
  duplicated.AppendTo(problems);
}

std::vector<FlowpathRow> ReadFlowpaths(const Gpkg& file, FoundTable& table,
                                       std::vector<std::string>& problems) {
  std::vector<FlowpathRow> flowpaths;
  Rows rows(file, table);
  Finding badId(rows.Label(HydrofabricField::kFlowpathId) + " not of the form wb-N");
  Finding badToId(rows.Label(HydrofabricField::kFlowpathToId) + " not of the form nex-N");
  CellProblems cells;
  while (rows.Next()) {
    const std::string idText = rows.Text(HydrofabricField::kFlowpathId);
    const auto id = PrefixedNumber(idText, "wb");
    if (!id || *id <= 0) {
      badId.Add(Quoted(idText));
      continue;
    }
    const std::string toText = rows.Text(HydrofabricField::kFlowpathToId);
    const auto nexus = AnyPrefixedNumber(toText);
    if (!nexus) badToId.Add(FlowpathName(*id) + " (" + Quoted(toText) + ")");
    const double order = cells.Optional(rows, HydrofabricField::kOrder, FlowpathName(*id), 0.0);
    if (order != std::floor(order) || order < 0.0 || order > kLargestOrder) {
      cells.Of(rows.Label(HydrofabricField::kOrder) + " not a stream order").Add(FlowpathName(*id));
      continue;
    }
    flowpaths.push_back({*id, nexus.value_or(0), toText, static_cast<std::int32_t>(order)});
  }
  badId.AppendTo(problems);
  badToId.AppendTo(problems);
  cells.AppendTo(problems);
  std::sort(flowpaths.begin(), flowpaths.end(),
            [](const auto& a, const auto& b) { return a.id < b.id; });
  RefuseDuplicates(
      flowpaths, [](const auto& r) { return r.id; },
      [](const auto& r) { return FlowpathName(r.id); }, "duplicated rows in " + table.name,
      problems);
  return flowpaths;
}

std::vector<NexusRow> ReadNexuses(const Gpkg& file, FoundTable& table,
                                  std::vector<std::string>& problems) {
  std::vector<NexusRow> nexuses;
  Rows rows(file, table);
  Finding badId(rows.Label(HydrofabricField::kNexusId) + " not of the form nex-N");
  Finding badToId(rows.Label(HydrofabricField::kNexusToId) + " not of the form wb-N");
  while (rows.Next()) {
    const std::string idText = rows.Text(HydrofabricField::kNexusId);
    const auto id = AnyPrefixedNumber(idText);
    if (!id) {
      badId.Add(Quoted(idText));
      continue;
    }
    // wb-0 or nothing: the nexus ends the network.
    const std::string toText = rows.Text(HydrofabricField::kNexusToId);
    const auto toId = toText.empty() ? std::optional<std::int64_t>(0) : PrefixedNumber(toText, "wb");
    if (!toId) badToId.Add(idText + " (" + Quoted(toText) + ")");
    nexuses.push_back({*id, toId.value_or(0), idText});
  }
  badId.AppendTo(problems);
  badToId.AppendTo(problems);
  std::stable_sort(nexuses.begin(), nexuses.end(),
                   [](const auto& a, const auto& b) { return a.id < b.id; });
  // The same id twice: the same row repeated, or a nexus draining into two flowpaths.
  Finding duplicated("duplicated rows in " + table.name);
  Finding twoWays("nexus points draining into two flowpaths in " + table.name);
  Finding sameNumber("nexus ids with the same number in " + table.name);
  for (std::size_t i = 1; i < nexuses.size(); ++i) {
    const NexusRow &a = nexuses[i - 1], &b = nexuses[i];
    if (a.id != b.id || (i >= 2 && nexuses[i - 2].id == b.id)) continue;
    if (NormalizedName(a.text) != NormalizedName(b.text))
      sameNumber.Add(a.text + " and " + b.text);
    else if (a.toId != b.toId)
      twoWays.Add(a.text + " (" + FlowpathName(a.toId) + ", " + FlowpathName(b.toId) + ")");
    else
      duplicated.Add(a.text);
  }
  duplicated.AppendTo(problems);
  twoWays.AppendTo(problems);
  sameNumber.AppendTo(problems);
  return nexuses;
}

std::vector<AttributeRow> ReadAttributes(const Gpkg& file, FoundTable& table,
                                         std::vector<std::string>& problems) {
  using F = HydrofabricField;
  std::vector<AttributeRow> attributes;
  Rows rows(file, table);
  Finding badId(rows.Label(F::kAttributeId) + " not of the form wb-N");
  Finding badToId(rows.Label(F::kAttributeToId) + " not of the form nex-N");
  Finding badWaterbody(rows.Label(F::kWaterbody) + " not a whole number");
  CellProblems cells;
  while (rows.Next()) {
    const std::string idText = rows.Text(F::kAttributeId);
    const auto id = PrefixedNumber(idText, "wb");
    if (!id || *id <= 0) {
      badId.Add(Quoted(idText));
      continue;
    }
    const std::string name = FlowpathName(*id);
    AttributeRow row;
    ChannelLink& link = row.link;
    link.id = *id;
    link.length = cells.Required(rows, F::kLength, name);
    link.manningN = cells.Required(rows, F::kManningN, name);
    link.manningNCompound = cells.Required(rows, F::kManningNCompound, name);
    link.slope = cells.Required(rows, F::kSlope, name);
    link.sideSlope = cells.Required(rows, F::kSideSlope, name);
    link.bottomWidth = cells.Required(rows, F::kBottomWidth, name);
    link.topWidth = cells.Required(rows, F::kTopWidth, name);
    link.topWidthCompound = cells.Required(rows, F::kTopWidthCompound, name);
    link.muskingumK = cells.Optional(rows, F::kMuskingumK, name, kUndefined);
    link.muskingumX = cells.Optional(rows, F::kMuskingumX, name, kUndefined);
    link.initialFlow = cells.Optional(rows, F::kInitialFlow, name, kUndefined);
    link.altitude = cells.Optional(rows, F::kAltitude, name, kUndefined);
    // The attribute tables hold no location: latitude and longitude stay undefined.
    link.latitude = link.longitude = kUndefined;
    link.gage = rows.Text(F::kGage);
    if (rows.Has(F::kAttributeToId)) {
      const std::string toText = rows.Text(F::kAttributeToId);
      row.toNexus = AnyPrefixedNumber(toText);
      if (!toText.empty() && !row.toNexus) badToId.Add(name + " (" + Quoted(toText) + ")");
    }
    // A waterbody is a whole number (its text may carry a prefix); none at or below 0.
    const std::string waterbodyText = rows.Text(F::kWaterbody);
    if (!waterbodyText.empty()) {
      const Cell cell = rows.Number(F::kWaterbody);
      auto number = AnyPrefixedNumber(waterbodyText);
      if (!number && cell.kind == Cell::kNumber && cell.number == std::floor(cell.number) &&
          std::fabs(cell.number) < 0x1p62)
        number = static_cast<std::int64_t>(cell.number);
      if (!number)
        badWaterbody.Add(name + " (" + Quoted(waterbodyText) + ")");
      else if (*number > 0)
        row.waterbody = *number;
    }
    attributes.push_back(std::move(row));
  }
  badId.AppendTo(problems);
  badToId.AppendTo(problems);
  badWaterbody.AppendTo(problems);
  cells.AppendTo(problems);
  std::sort(attributes.begin(), attributes.end(),
            [](const auto& a, const auto& b) { return a.link.id < b.link.id; });
  RefuseDuplicates(
      attributes, [](const auto& r) { return r.link.id; },
      [](const auto& r) { return FlowpathName(r.link.id); }, "duplicated rows in " + table.name,
      problems);
  return attributes;
}

std::vector<LakeParameters> ReadLakes(const Gpkg& file, FoundTable& table,
                                      std::vector<std::string>& problems) {
  using F = HydrofabricField;
  std::vector<LakeParameters> lakes;
  Rows rows(file, table);
  Finding badId(rows.Label(F::kLakeId) + " not a positive whole number");
  CellProblems cells;
  while (rows.Next()) {
    const std::string idText = rows.Text(F::kLakeId);
    auto id = Digits(idText);
    if (!id) id = AnyPrefixedNumber(idText);
    if (!id) {
      const Cell cell = rows.Number(F::kLakeId);
      if (cell.kind == Cell::kNumber && cell.number == std::floor(cell.number) &&
          std::fabs(cell.number) < 0x1p62)
        id = static_cast<std::int64_t>(cell.number);
    }
    if (!id || *id <= 0) {
      badId.Add(Quoted(idText));
      continue;
    }
    const std::string name = "lake " + std::to_string(*id);
    LakeParameters lake;
    lake.id = *id;
    // The lake's position is in its geometry, which is not read.
    lake.latitude = lake.longitude = std::numeric_limits<double>::quiet_NaN();
    lake.area = cells.Required(rows, F::kLakeArea, name);
    lake.maxElevation = cells.Required(rows, F::kLakeMaxElevation, name);
    lake.weirCoefficient = cells.Required(rows, F::kWeirCoefficient, name);
    lake.weirLength = cells.Required(rows, F::kWeirLength, name);
    lake.weirElevation = cells.Required(rows, F::kWeirElevation, name);
    lake.orificeCoefficient = cells.Required(rows, F::kOrificeCoefficient, name);
    lake.orificeArea = cells.Required(rows, F::kOrificeArea, name);
    lake.orificeElevation = cells.Required(rows, F::kOrificeElevation, name);
    lake.damLength = cells.Required(rows, F::kDamLength, name);
    lake.initialFractionalDepth = cells.Required(rows, F::kInitialFractionalDepth, name);
    lakes.push_back(lake);
  }
  badId.AppendTo(problems);
  cells.AppendTo(problems);
  std::sort(lakes.begin(), lakes.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
  RefuseDuplicates(
      lakes, [](const auto& r) { return r.id; },
      [](const auto& r) { return "lake " + std::to_string(r.id); },
      "duplicated rows in " + table.name, problems);
  return lakes;
}

template <typename Row, typename Id>
const Row* Find(const std::vector<Row>& rows, std::int64_t id, Id idOf) {
  const auto it = std::lower_bound(rows.begin(), rows.end(), id,
                                   [&](const Row& r, std::int64_t v) { return idOf(r) < v; });
  return it != rows.end() && idOf(*it) == id ? &*it : nullptr;
}

}  // namespace

Hydrofabric ReadHydrofabric(const std::string& path) {
  const Gpkg file(path);
  const std::vector<std::string> tables =
      file.Strings("SELECT name FROM sqlite_master WHERE type IN ('table', 'view')", 0);
  std::vector<std::string> problems;
  std::array<std::optional<FoundTable>, std::size(kTableSpellings)> found;
  for (std::size_t t = 0; t < std::size(kTableSpellings); ++t)
    found[t] = FindTable(file, tables, kTableSpellings[t], problems);
  if (!problems.empty()) throw RefusedInput(std::move(problems));
  auto& flowpathTable = *found[0];
  auto& nexusTable = *found[1];
  auto& attributeTable = *found[2];
  const bool hasWaterbody = attributeTable.column[FieldIndex(HydrofabricField::kWaterbody)] >= 0;

  const auto flowpaths = ReadFlowpaths(file, flowpathTable, problems);
  const auto nexusRows = ReadNexuses(file, nexusTable, problems);
  const auto attributes = ReadAttributes(file, attributeTable, problems);
  std::vector<LakeParameters> lakeRows;
  if (found[3]) lakeRows = ReadLakes(file, *found[3], problems);
  if (flowpaths.empty() && problems.empty())
    problems.push_back(file.path() + ": table " + Quoted(flowpathTable.name) + " holds no flowpath");
  if (!problems.empty()) throw RefusedInput(std::move(problems));

  const auto flowpathId = [](const FlowpathRow& r) { return r.id; };
  const auto nexusId = [](const NexusRow& r) { return r.id; };
  const auto attributeId = [](const AttributeRow& r) { return r.link.id; };
  const auto lakeId = [](const LakeParameters& r) { return r.id; };

  Hydrofabric fabric;
  // Nexus points: a flowpath the file does not hold ends the network as wb-0 does.
  Finding drainsOut("nexus points drain into flowpaths the file does not hold, and their flow "
                    "leaves the network there");
  for (const NexusRow& n : nexusRows) {
    ReachId into = n.toId;
    if (into != 0 && !Find(flowpaths, into, flowpathId)) {
      drainsOut.Add(n.text + " (" + FlowpathName(into) + ")");
      into = 0;
    }
    fabric.nexuses.push_back({n.id, into});
  }

  Finding withoutAttributes("flowpaths without a row in " + attributeTable.name);
  Finding unknownNexus("flowpaths draining into a nexus not in " + nexusTable.name);
  Finding disagree(attributeTable.name + " names another nexus than " + flowpathTable.name);
  Finding unknownLake("flowpaths naming a waterbody that is not a lake of the file, routed as "
                      "channels");
  std::unordered_set<std::int64_t> lakesUsed;
  for (const FlowpathRow& f : flowpaths) {
    const AttributeRow* a = Find(attributes, f.id, attributeId);
    // The nexus of that number, and of that prefix (`wb-7` names no nexus).
    const NexusRow* n = Find(nexusRows, f.nexus, nexusId);
    std::string prefix, rowPrefix;
    AnyPrefixedNumber(f.toText, &prefix);
    if (n) AnyPrefixedNumber(n->text, &rowPrefix);
    if (n && prefix != rowPrefix) n = nullptr;
    if (!a) withoutAttributes.Add(FlowpathName(f.id));
    if (!n) unknownNexus.Add(FlowpathName(f.id) + " (" + f.toText + ")");
    if (a && a->toNexus && *a->toNexus != f.nexus)
      disagree.Add(FlowpathName(f.id) + " (" + NexusName(*a->toNexus) + ", " + f.toText + ")");
    if (!a || !n) continue;
    ChannelLink link = a->link;
    const auto nexus = std::lower_bound(
        fabric.nexuses.begin(), fabric.nexuses.end(), f.nexus,
        [](const Nexus& x, std::int64_t id) { return x.id < id; });
    link.toId = nexus->drainsInto;
    ++nexus->flowpathsIn;
    link.order = f.order;
    if (a->waterbody != kNoWaterbody) {
      if (Find(lakeRows, a->waterbody, lakeId)) {
        link.waterbody = a->waterbody;
        lakesUsed.insert(a->waterbody);
      } else {
        unknownLake.Add(FlowpathName(f.id) + " (" + std::to_string(a->waterbody) + ")");
      }
    }
    fabric.basin.links.push_back(std::move(link));
  }
  withoutAttributes.AppendTo(problems);
  unknownNexus.AppendTo(problems);
  disagree.AppendTo(problems);
  if (!problems.empty()) throw RefusedInput(std::move(problems));

  for (const LakeParameters& lake : lakeRows)
    if (lakesUsed.count(lake.id)) fabric.basin.lakes.push_back(lake);
  drainsOut.AppendTo(fabric.notes);
  unknownLake.AppendTo(fabric.notes);
  std::size_t orphans = 0;
  for (const AttributeRow& a : attributes) orphans += Find(flowpaths, a.link.id, flowpathId) == nullptr;
  if (orphans > 0)
    fabric.notes.push_back(std::to_string(orphans) + " rows of " + attributeTable.name +
                           " name no flowpath of " + flowpathTable.name + " and are not read");
  if (found[3] && !hasWaterbody && !lakeRows.empty())
    fabric.notes.push_back("table " + found[3]->name + " holds " + std::to_string(lakeRows.size()) +
                           (lakeRows.size() == 1 ? " lake" : " lakes") + ", but " +
                           attributeTable.name +
                           " has no waterbody column: every flowpath is routed as a channel");
  else if (lakeRows.size() > fabric.basin.lakes.size())
    fabric.notes.push_back(std::to_string(lakeRows.size() - fabric.basin.lakes.size()) +
                           " of the lakes in " + found[3]->name + " hold no flowpath of the file");
  return fabric;
}

}  // namespace tovalin::network::import
