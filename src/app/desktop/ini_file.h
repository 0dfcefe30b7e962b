#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace marlin::desktop {

// A settings file of "[Section]" headers and "Key=Value" lines, kept in the
// order read so that writing it back changes only what was set. Key names
// are taken exactly as written: blanks and "&&" are part of them.
class IniFile {
 public:
  // An unreadable or missing file gives an empty one.
  static IniFile read(const std::string& path);
  // Writes through a temporary file renamed over the old one, so a crash
  // leaves the old settings or the new, never half of them. False on failure.
  bool write(const std::string& path) const;

  std::optional<std::string> value(const std::string& section, const std::string& key) const;
  void set(const std::string& section, const std::string& key, const std::string& value);

  std::string text() const;
  static IniFile parse(const std::string& text);

 private:
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
  };
  Section* find(const std::string& name);
  const Section* find(const std::string& name) const;

  std::vector<Section> sections_;
};

}  // namespace marlin::desktop
