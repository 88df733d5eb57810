// Command line of cronel: a scanner over option words in the getopt manner (grouped
// letters "-qn", attached "-ofile" and separate "-o file" arguments, "--" ending the
// options) and the settings it yields. Nothing here prints: the program's main reports
// what scan_command_line collects. Settings are built once and then only read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cronel {

// Letters the program accepts; a letter followed by ':' takes an argument.
inline constexpr std::string_view kOptionLetters = "d:o:f:nqp:";

// strftime format of the file-name extension when neither -f nor -n is given.
inline constexpr std::string_view kDefaultExtensionFormat = ".%Y.%m.%d.%H.%M.utc";

struct Settings {
  std::string output_name;                      // -o: base name of the log files
  std::optional<std::string> line_prefix;       // -p: written between time and line
  std::optional<std::string> extension_format;  // none: one file, truncated, no wrap
  bool quiet = false;                           // -q: no echo to standard output
  long debug_value = 0;                         // -d: read and kept, used by nothing
};

// Scans option letters one call at a time. Holds its position: the index of the next
// word (from 1, the word after the program name) and the position inside a group.
class OptionScanner {
 public:
  static constexpr int kEndOfOptions = -1;
  static constexpr int kInvalid = '?';

  // argv holds argc words; letters is an option string such as kOptionLetters.
  OptionScanner(int argc, const char* const* argv, std::string_view letters);

  // Returns the next option letter, kInvalid for a letter not in the option string (or
  // ':') and for a missing argument, or kEndOfOptions at the first word that is not an
  // option (left unconsumed) or after a consumed "--". A lone "-" is the letter '-'.
  int next();

  // Argument of the letter last returned, or nullptr when it takes none.
  const char* argument() const { return argument_; }

  // Index of the next word to scan; the word before it is the one an error names.
  int word_index() const { return word_index_; }

 private:
  void advance_word();

  int argc_;
  const char* const* argv_;
  std::string_view letters_;
  int word_index_ = 1;
  std::size_t letter_position_ = 0;  // 0: no grouped letters pending
  const char* argument_ = nullptr;
};

struct CommandLine {
  std::optional<Settings> settings;        // none when -o is absent
  std::vector<std::string> invalid_words;  // one per invalid option, in order
};

// Scans argv with kOptionLetters. A repeated option replaces the earlier value; words
// after the options are ignored. Without -f and without -n the extension format is
// kDefaultExtensionFormat; -f wins over -n.
CommandLine scan_command_line(int argc, const char* const* argv);

// The usage text, seven lines and the exit statuses, with program_name as invoked.
std::string usage_text(std::string_view program_name);

}  // namespace cronel
