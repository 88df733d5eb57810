// Nexus output files: their names, their lines, the time axis they make together, and the
// nexus flows handed on as the lateral inflow of the flowpaths below.
#include "network/import/nexus_forcing.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unordered_set>

#include "network/netcdf_io.h"

namespace tovalin::network::import {
namespace {

constexpr std::string_view kPerTimeSuffix = "NEXOUT.csv";
constexpr std::string_view kPerNexusSuffix = "_output.csv";
constexpr std::string_view kPerTimeHeader = "feature_id";
constexpr std::size_t kCompactTimeDigits = 12;  // YYYYMMDDhhmm
constexpr std::int64_t kMinutesPerHour = 60;
constexpr std::int64_t kMinutesPerDay = 1440;
constexpr std::size_t kNamedFiles = 10;  // refused files named before the rest are counted

// "1 file", "3 files".
std::string Counted(std::size_t n, const std::string& what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// The fields of a line between commas, each blank-trimmed.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const std::size_t comma = line.find(',');
    fields.push_back(Trim(line.substr(0, comma)));
    if (comma == std::string_view::npos) return fields;
    line.remove_prefix(comma + 1);
  }
}

template <typename T>
std::optional<T> Whole(std::string_view text) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A flow value: a finite decimal number.
std::optional<double> Flow(std::string_view text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<UtcMinutes> Minutes(int year, int month, int day, int hour, int minute) {
  using namespace std::chrono;
  const year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                            std::chrono::day{static_cast<unsigned>(day)}};
  if (!date.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59) return std::nullopt;
  const std::int64_t days = sys_days{date}.time_since_epoch().count();
  return days * kMinutesPerDay + hour * kMinutesPerHour + minute;
}

// Digits at [at, at + n) of text as a number; empty unless all are digits.
std::optional<int> DigitsAt(std::string_view text, std::size_t at, std::size_t n) {
  if (at + n > text.size()) return std::nullopt;
  const std::string_view part = text.substr(at, n);
  if (!std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return Whole<int>(part);
}

std::string BaseName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

std::string ReadWhole(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) throw FileError(path + ": not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError(path + ": cannot open");
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw FileError(path + ": cannot read");
  return std::move(text).str();
}

// Calls line(number, text) for each non-blank line (numbered from 1).
template <typename Line>
void ForEachLine(std::string_view text, Line line) {
  std::size_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view l = Trim(text.substr(0, end));
    ++number;
    if (!l.empty() && !line(number, l)) return;
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + 1);
  }
}

// A nexus id of a per-time file: N, or nex-N.
std::optional<std::int64_t> NexusNumber(std::string_view text) {
  if (auto n = Whole<std::int64_t>(text); n && *n >= 0 && text.front() != '+') return n;
  return AnyPrefixedNumber(text);
}

// Ids the network lacks, and how many values they had.
class Skipped {
 public:
  void Add(std::int64_t id, std::size_t values) {
    if (ids_.insert(id).second && named_.size() < kNamedIds) named_.push_back(id);
    values_ += values;
  }
  std::string Line() const {
    if (ids_.empty()) return {};
    std::vector<std::int64_t> named = named_;
    std::string line = "skipped " + Counted(ids_.size(), "nexus id") + " not in the network (" +
                       Counted(values_, "value") + "): ";
    for (std::size_t i = 0; i < named.size(); ++i)
      line += (i ? ", " : "") + std::string("nex-") + std::to_string(named[i]);
    if (ids_.size() > named.size())
      line += " and " + std::to_string(ids_.size() - named.size()) + " more";
    return line;
  }

 private:
  std::unordered_set<std::int64_t> ids_;
  std::vector<std::int64_t> named_;
  std::size_t values_ = 0;
};

// Problems, at most kNamedFiles lines and then the count of the rest.
class FileProblems {
 public:
  void Add(std::string line) {
    if (lines_.size() < kNamedFiles) lines_.push_back(std::move(line));
    ++count_;
  }
  bool empty() const noexcept { return count_ == 0; }
  [[noreturn]] void Throw() {
    if (count_ > lines_.size())
      lines_.push_back("and " + std::to_string(count_ - lines_.size()) + " more problems");
    throw RefusedInput(std::move(lines_));
  }

 private:
  std::vector<std::string> lines_;
  std::size_t count_ = 0;
};

std::string NamedNexuses(const std::vector<std::int64_t>& ids, std::size_t count) {
  std::string s;
  for (std::size_t i = 0; i < ids.size(); ++i)
    s += (i ? ", " : "") + std::string("nex-") + std::to_string(ids[i]);
  if (count > ids.size()) s += " and " + std::to_string(count - ids.size()) + " more";
  return s;
}

// The time axis of sorted, distinct times: uniform in whole minutes, at least two, none
// missing. Returns the interval, or adds the problem.
std::int32_t CheckAxis(const std::vector<UtcMinutes>& times, FileProblems& problems) {
  if (times.size() < 2) {
    problems.Add("nexus outputs hold " + Counted(times.size(), "time") +
                 "; at least two are needed");
    return 0;
  }
  UtcMinutes interval = times[1] - times[0];
  for (std::size_t i = 1; i < times.size(); ++i) interval = std::min(interval, times[i] - times[i - 1]);
  std::vector<std::string> missing;
  std::size_t missingCount = 0;
  for (std::size_t i = 1; i < times.size(); ++i) {
    const UtcMinutes gap = times[i] - times[i - 1];
    if (gap % interval != 0) {
      problems.Add("nexus output times are not uniform: " + FormatUtc(times[i - 1]) + " then " +
                   FormatUtc(times[i]) + " at an interval of " + std::to_string(interval) +
                   " minutes");
      return 0;
    }
    for (UtcMinutes t = times[i - 1] + interval; t < times[i]; t += interval) {
      if (missing.size() < kNamedIds) missing.push_back(FormatUtc(t));
      ++missingCount;
    }
  }
  if (missingCount > 0) {
    std::string line = "nexus output times missing at an interval of " +
                       std::to_string(interval) + " minutes: ";
    for (std::size_t i = 0; i < missing.size(); ++i) line += (i ? ", " : "") + missing[i];
    if (missingCount > missing.size())
      line += " and " + std::to_string(missingCount - missing.size()) + " more";
    problems.Add(line);
    return 0;
  }
  if (interval > INT32_MAX) {
    problems.Add("nexus output interval of " + std::to_string(interval) + " minutes is too long");
    return 0;
  }
  return static_cast<std::int32_t>(interval);
}

// Reads one per-time file: its time (from the header, which must agree with the name) and
// each network nexus's flow into flows (by index of networkNexuses). Problems name the file.
struct PerTimeFile {
  UtcMinutes time = 0;
  bool sound = false;
};
PerTimeFile ReadPerTime(const std::string& path, std::span<const std::int64_t> nexuses,
                        std::vector<double>& flows, std::vector<std::uint8_t>& seen,
                        Skipped* skipped, FileProblems& problems) {
  const std::string name = BaseName(path);
  const auto nameTime = ParseCompactTime(name.substr(0, kCompactTimeDigits));
  const std::string text = ReadWhole(path);
  seen.assign(nexuses.size(), 0);
  flows.assign(nexuses.size(), 0.0);
  PerTimeFile file;
  bool header = true, sound = true;
  std::vector<std::int64_t> duplicated;
  std::size_t duplicatedCount = 0;
  ForEachLine(text, [&](std::size_t number, std::string_view line) {
    const auto fields = Fields(line);
    if (header) {
      header = false;
      const auto time = fields.size() == 2 && NormalizedName(fields[0]) == kPerTimeHeader &&
                                fields[1].size() == kCompactTimeDigits
                            ? ParseCompactTime(fields[1])
                            : std::nullopt;
      if (!time) {
        problems.Add(path + ": line 1 is not the header feature_id,YYYYMMDDhhmm");
        return sound = false;
      }
      if (!nameTime || *nameTime != *time) {
        problems.Add(path + ": the header's time " + FormatUtc(*time) +
                     " is not the time of the file's name");
        return sound = false;
      }
      file.time = *time;
      return true;
    }
    const auto id = fields.size() == 2 ? NexusNumber(fields[0]) : std::nullopt;
    const auto flow = fields.size() == 2 ? Flow(fields[1]) : std::nullopt;
    if (!id || !flow) {
      problems.Add(path + ": line " + std::to_string(number) + " is not N,value: " +
                   std::string(line.substr(0, 80)));
      return sound = false;
    }
    const auto it = std::lower_bound(nexuses.begin(), nexuses.end(), *id);
    if (it == nexuses.end() || *it != *id) {
      if (skipped) skipped->Add(*id, 1);
      return true;
    }
    const std::size_t k = static_cast<std::size_t>(it - nexuses.begin());
    if (seen[k]) {
      if (duplicated.size() < kNamedIds) duplicated.push_back(*id);
      ++duplicatedCount;
    }
    seen[k] = 1;
    flows[k] = *flow;
    return true;
  });
  if (header && sound) {
    problems.Add(path + ": empty, no header feature_id,YYYYMMDDhhmm");
    sound = false;
  }
  if (!sound) return file;
  if (duplicatedCount > 0) {
    problems.Add(path + ": nexus points given twice: " + NamedNexuses(duplicated, duplicatedCount));
    sound = false;
  }
  std::vector<std::int64_t> missing;
  std::size_t missingCount = 0;
  for (std::size_t k = 0; k < nexuses.size(); ++k)
    if (!seen[k]) {
      if (missing.size() < kNamedIds) missing.push_back(nexuses[k]);
      ++missingCount;
    }
  if (missingCount > 0) {
    problems.Add(path + ": network nexus points missing at " + FormatUtc(file.time) + ": " +
                 NamedNexuses(missing, missingCount));
    sound = false;
  }
  file.sound = sound;
  return file;
}

}  // namespace

std::string FormatUtc(UtcMinutes minutes) {
  using namespace std::chrono;
  const std::int64_t days = minutes >= 0 ? minutes / kMinutesPerDay
                                         : -((-minutes + kMinutesPerDay - 1) / kMinutesPerDay);
  const std::int64_t inDay = minutes - days * kMinutesPerDay;
  const year_month_day date{sys_days{std::chrono::days{days}}};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(inDay / kMinutesPerHour), static_cast<int>(inDay % kMinutesPerHour));
  return text;
}

std::optional<UtcMinutes> ParseCompactTime(std::string_view text) {
  if (text.size() != kCompactTimeDigits) return std::nullopt;
  const auto y = DigitsAt(text, 0, 4), mo = DigitsAt(text, 4, 2), d = DigitsAt(text, 6, 2),
             h = DigitsAt(text, 8, 2), mi = DigitsAt(text, 10, 2);
  if (!y || !mo || !d || !h || !mi) return std::nullopt;
  return Minutes(*y, *mo, *d, *h, *mi);
}

std::optional<UtcMinutes> ParseIsoTime(std::string_view text) {
  // YYYY-MM-DD hh:mm:ss
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || (text[10] != ' ' && text[10] != 'T') ||
      text[13] != ':' || text[16] != ':')
    return std::nullopt;
  const auto y = DigitsAt(text, 0, 4), mo = DigitsAt(text, 5, 2), d = DigitsAt(text, 8, 2),
             h = DigitsAt(text, 11, 2), mi = DigitsAt(text, 14, 2), s = DigitsAt(text, 17, 2);
  if (!y || !mo || !d || !h || !mi || !s || *s != 0) return std::nullopt;
  return Minutes(*y, *mo, *d, *h, *mi);
}

std::optional<NexusOutputForm> FormOfName(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (name.size() == kCompactTimeDigits + kPerTimeSuffix.size() &&
      name.substr(kCompactTimeDigits) == kPerTimeSuffix &&
      ParseCompactTime(name.substr(0, kCompactTimeDigits)))
    return NexusOutputForm::kPerTime;
  if (name.size() > kPerNexusSuffix.size() &&
      name.substr(name.size() - kPerNexusSuffix.size()) == kPerNexusSuffix &&
      AnyPrefixedNumber(name.substr(0, name.size() - kPerNexusSuffix.size())))
    return NexusOutputForm::kPerNexus;
  return std::nullopt;
}

NexusOutputs::NexusOutputs(std::span<const std::string> paths,
                           std::span<const std::int64_t> networkNexuses)
    : nexuses_(networkNexuses.begin(), networkNexuses.end()) {
  FileProblems problems;
  if (paths.empty()) problems.Add("no nexus output files given");
  std::size_t perTime = 0, perNexus = 0;
  for (const auto& p : paths) {
    const auto form = FormOfName(p);
    if (!form)
      problems.Add(p + ": not a nexus output name (YYYYMMDDhhmmNEXOUT.csv or nex-N_output.csv)");
    else
      ++(*form == NexusOutputForm::kPerTime ? perTime : perNexus);
  }
  if (perTime > 0 && perNexus > 0)
    problems.Add("nexus outputs mix both forms: " + Counted(perTime, "file") +
                 " of one time each and " + Counted(perNexus, "file") + " of one nexus each");
  if (!problems.empty()) problems.Throw();
  form_ = perNexus > 0 ? NexusOutputForm::kPerNexus : NexusOutputForm::kPerTime;
  Skipped skipped;

  if (form_ == NexusOutputForm::kPerTime) {
    // Every file read once to check it; ReadTime reads its file again.
    std::vector<std::pair<UtcMinutes, std::string>> byTime;
    std::vector<double> flows;
    std::vector<std::uint8_t> seen;
    for (const auto& p : paths) {
      const PerTimeFile file = ReadPerTime(p, nexuses_, flows, seen, &skipped, problems);
      if (file.sound) byTime.emplace_back(file.time, p);
    }
    std::stable_sort(byTime.begin(), byTime.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < byTime.size(); ++i)
      if (byTime[i].first == byTime[i - 1].first)
        problems.Add("two files of time " + FormatUtc(byTime[i].first) + ": " +
                     byTime[i - 1].second + " and " + byTime[i].second);
    if (!problems.empty()) problems.Throw();
    for (auto& [time, path] : byTime) {
      times_.push_back(time);
      files_.push_back(std::move(path));
    }
  } else {
    // Each network nexus's file, its (time, value) lines sorted by time.
    std::vector<std::vector<std::pair<UtcMinutes, double>>> series(nexuses_.size());
    std::vector<std::string> fileOf(nexuses_.size());
    for (const auto& p : paths) {
      const std::string name = BaseName(p);
      const std::int64_t id =
          *AnyPrefixedNumber(std::string_view(name).substr(0, name.size() - kPerNexusSuffix.size()));
      const auto it = std::lower_bound(nexuses_.begin(), nexuses_.end(), id);
      const std::string text = ReadWhole(p);
      std::vector<std::pair<UtcMinutes, double>> values;
      bool sound = true;
      ForEachLine(text, [&](std::size_t number, std::string_view line) {
        const auto fields = Fields(line);
        const auto index = fields.size() == 3 ? Whole<std::int64_t>(fields[0]) : std::nullopt;
        const auto time = fields.size() == 3 ? ParseIsoTime(fields[1]) : std::nullopt;
        const auto flow = fields.size() == 3 ? Flow(fields[2]) : std::nullopt;
        if (!index || !time || !flow) {
          problems.Add(p + ": line " + std::to_string(number) +
                       " is not index, YYYY-MM-DD hh:mm:ss, value: " +
                       std::string(line.substr(0, 80)));
          return sound = false;
        }
        values.emplace_back(*time, *flow);
        return true;
      });
      if (!sound) continue;
      if (it == nexuses_.end() || *it != id) {
        skipped.Add(id, values.size());
        continue;
      }
      const std::size_t k = static_cast<std::size_t>(it - nexuses_.begin());
      if (!fileOf[k].empty()) {
        problems.Add("two files of nexus nex-" + std::to_string(id) + ": " + fileOf[k] + " and " + p);
        continue;
      }
      fileOf[k] = p;
      std::stable_sort(values.begin(), values.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      for (std::size_t i = 1; i < values.size(); ++i)
        if (values[i].first == values[i - 1].first) {
          problems.Add(p + ": time " + FormatUtc(values[i].first) + " given twice");
          break;
        }
      series[k] = std::move(values);
    }
    std::vector<std::int64_t> withoutFile;
    std::size_t withoutCount = 0;
    for (std::size_t k = 0; k < nexuses_.size(); ++k)
      if (fileOf[k].empty()) {
        if (withoutFile.size() < kNamedIds) withoutFile.push_back(nexuses_[k]);
        ++withoutCount;
      }
    if (withoutCount > 0)
      problems.Add("network nexus points missing at every time (no output file): " +
                   NamedNexuses(withoutFile, withoutCount));
    if (!problems.empty()) problems.Throw();
    // The times of all files together; each file must hold every one.
    for (const auto& s : series)
      for (const auto& v : s) times_.push_back(v.first);
    std::sort(times_.begin(), times_.end());
    times_.erase(std::unique(times_.begin(), times_.end()), times_.end());
    for (std::size_t k = 0; k < nexuses_.size(); ++k) {
      if (series[k].size() == times_.size()) continue;
      for (std::size_t t = 0, i = 0; t < times_.size(); ++t) {
        if (i < series[k].size() && series[k][i].first == times_[t]) {
          ++i;
          continue;
        }
        problems.Add(fileOf[k] + ": network nexus nex-" + std::to_string(nexuses_[k]) +
                     " missing at " + FormatUtc(times_[t]));
        break;
      }
    }
    if (!problems.empty()) problems.Throw();
    series_ = std::move(series);
  }
  interval_ = CheckAxis(times_, problems);
  if (!problems.empty()) problems.Throw();
  skipped_ = skipped.Line();
}

void NexusOutputs::ReadTime(std::size_t t, std::vector<double>& flows) const {
  flows.assign(nexuses_.size(), 0.0);
  if (t >= times_.size()) return;
  if (form_ == NexusOutputForm::kPerNexus) {
    // Each nexus holds every time, in order.
    for (std::size_t k = 0; k < nexuses_.size(); ++k) flows[k] = series_[k][t].second;
    return;
  }
  // The file was sound when it was scanned; one changed since is refused the same way.
  FileProblems problems;
  std::vector<std::uint8_t> seen;
  const PerTimeFile file = ReadPerTime(files_[t], nexuses_, flows, seen, nullptr, problems);
  if (!problems.empty()) problems.Throw();
  if (file.time != times_[t])
    throw RefusedInput({files_[t] + ": changed while it was read"});
}

NexusLateral::NexusLateral(const Hydrofabric& fabric) {
  for (const Nexus& n : fabric.nexuses) {
    nexusIds_.push_back(n.id);
    std::int64_t target = -1;
    if (n.drainsInto != 0) {
      const auto& links = fabric.basin.links;
      const auto it = std::lower_bound(links.begin(), links.end(), n.drainsInto,
                                       [](const ChannelLink& l, ReachId id) { return l.id < id; });
      if (it != links.end() && it->id == n.drainsInto) target = it - links.begin();
    }
    target_.push_back(target);
  }
}

double NexusLateral::Assemble(std::span<const double> nexusFlows, std::span<double> lateral) const {
  std::fill(lateral.begin(), lateral.end(), 0.0);
  double terminal = 0.0;
  const std::size_t n = std::min(nexusFlows.size(), target_.size());
  for (std::size_t k = 0; k < n; ++k) {
    if (target_[k] < 0)
      terminal += nexusFlows[k];
    else if (static_cast<std::size_t>(target_[k]) < lateral.size())
      lateral[static_cast<std::size_t>(target_[k])] += nexusFlows[k];
  }
  return terminal;
}

}  // namespace tovalin::network::import
