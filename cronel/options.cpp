// Option scanning and the usage text of cronel (see options.h).
#include "options.h"

#include <cstdlib>

namespace cronel {

OptionScanner::OptionScanner(int argc, const char* const* argv, std::string_view letters)
    : argc_(argc), argv_(argv), letters_(letters) {}

void OptionScanner::advance_word() {
  ++word_index_;
  letter_position_ = 0;
}

int OptionScanner::next() {
  argument_ = nullptr;
  if (letter_position_ == 0) {
    if (word_index_ >= argc_ || argv_[word_index_] == nullptr) return kEndOfOptions;
    const std::string_view word = argv_[word_index_];
    if (word.empty() || word[0] != '-') return kEndOfOptions;
    if (word.size() >= 2 && word[1] == '-') {
      advance_word();
      return kEndOfOptions;
    }
    // A lone "-" is scanned as the letter '-' itself.
    letter_position_ = (word.size() == 1) ? 0 : 1;
  }

  const char* word = argv_[word_index_];
  const char letter = word[letter_position_];
  const bool last_letter = (word[letter_position_ + 1] == '\0');
  ++letter_position_;

  const std::size_t found = letters_.find(letter);
  if (letter == ':' || found == std::string_view::npos) {
    if (last_letter) advance_word();
    return kInvalid;
  }
  const bool takes_argument = found + 1 < letters_.size() && letters_[found + 1] == ':';
  if (!takes_argument) {
    if (last_letter) advance_word();
    return letter;
  }
  // Attached ("-ofile") or separate ("-o file") argument.
  if (!last_letter) {
    argument_ = word + letter_position_;
    advance_word();
    return letter;
  }
  advance_word();
  if (word_index_ >= argc_ || argv_[word_index_] == nullptr) return kInvalid;
  argument_ = argv_[word_index_];
  advance_word();
  return letter;
}

namespace {

// -d: a decimal integer as strtol reads it (clamped to the range of long); no digits: 0.
long read_decimal(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return end == text ? 0 : value;
}

}  // namespace

CommandLine scan_command_line(int argc, const char* const* argv) {
  CommandLine result;
  Settings settings;
  bool have_output = false;
  bool extension_wanted = true;

  OptionScanner scanner(argc, argv, kOptionLetters);
  for (int letter = scanner.next(); letter != OptionScanner::kEndOfOptions;
       letter = scanner.next()) {
    switch (letter) {
      case 'o':
        settings.output_name = scanner.argument();
        have_output = true;
        break;
      case 'p':
        settings.line_prefix = scanner.argument();
        break;
      case 'f':
        settings.extension_format = scanner.argument();
        break;
      case 'n':
        extension_wanted = false;
        break;
      case 'q':
        settings.quiet = true;
        break;
      case 'd':
        settings.debug_value = read_decimal(scanner.argument());
        break;
      default: {
        // The word before the scanner's index: the offending word when the letter ended
        // it or its argument was missing, the word before when it stood inside a group.
        const int named = scanner.word_index() - 1;
        const char* word = (named >= 0 && named < argc) ? argv[named] : nullptr;
        result.invalid_words.emplace_back(word != nullptr ? word : "");
        break;
      }
    }
  }

  if (!have_output) return result;
  if (!settings.extension_format && extension_wanted) {
    settings.extension_format = std::string(kDefaultExtensionFormat);
  }
  result.settings = std::move(settings);
  return result;
}

std::string usage_text(std::string_view program_name) {
  const std::string name(program_name);
  std::string text;
  text += name + " - send a program's standard output to a date based wrapping set of log files\n\n";
  text += "USAGE: " + name + " -ooutputfile [-p line prefix][-f file Extension format][-qn]\n";
  text += "\t-o logfile       : the name of the output file\n";
  text += "\t-p line prefix   : string to prefix each line with\n";
  text += "\t-f file extension: format of the file extension. default is ";
  text += kDefaultExtensionFormat;
  text += "\n";
  text += "\t-n               : don't append a file extension to logfile name\n";
  text += "\t-q               : quiet, don't echo to stdout\n";
  text += "exit status: 0 every line logged, 1 usage, 2 lines lost or input unreadable\n";
  return text;
}

}  // namespace cronel
