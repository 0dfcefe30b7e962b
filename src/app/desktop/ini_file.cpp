#include "app/desktop/ini_file.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace marlin::desktop {

namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

}  // namespace

IniFile IniFile::parse(const std::string& text) {
  IniFile file;
  std::istringstream lines(text);
  std::string line;
  Section* current = nullptr;
  while (std::getline(lines, line)) {
    const std::string content = trimmed(line);
    if (content.empty() || content[0] == ';' || content[0] == '#') {
      continue;
    }
    if (content.front() == '[' && content.back() == ']') {
      const std::string name = content.substr(1, content.size() - 2);
      current = file.find(name);
      if (current == nullptr) {
        file.sections_.push_back({name, {}});
        current = &file.sections_.back();
      }
      continue;
    }
    const auto equals = content.find('=');
    if (current == nullptr || equals == std::string::npos) {
      continue;
    }
    const std::string key = trimmed(content.substr(0, equals));
    const std::string value = trimmed(content.substr(equals + 1));
    bool replaced = false;
    for (auto& entry : current->entries) {
      if (entry.first == key) {
        entry.second = value;
        replaced = true;
      }
    }
    if (!replaced) {
      current->entries.emplace_back(key, value);
    }
  }
  return file;
}

IniFile IniFile::read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return {};
  }
  std::ostringstream text;
  text << in.rdbuf();
  return parse(text.str());
}

std::string IniFile::text() const {
  std::string out;
  for (const Section& section : sections_) {
    if (!out.empty()) {
      out += '\n';
    }
    out += '[' + section.name + "]\n";
    for (const auto& [key, value] : section.entries) {
      out += key + '=' + value + '\n';
    }
  }
  return out;
}

bool IniFile::write(const std::string& path) const {
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      return false;
    }
    out << text();
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

std::optional<std::string> IniFile::value(const std::string& section, const std::string& key) const {
  const Section* found = find(section);
  if (found == nullptr) {
    return std::nullopt;
  }
  for (const auto& entry : found->entries) {
    if (entry.first == key) {
      return entry.second;
    }
  }
  return std::nullopt;
}

void IniFile::set(const std::string& section, const std::string& key, const std::string& value) {
  Section* found = find(section);
  if (found == nullptr) {
    sections_.push_back({section, {}});
    found = &sections_.back();
  }
  for (auto& entry : found->entries) {
    if (entry.first == key) {
      entry.second = value;
      return;
    }
  }
  found->entries.emplace_back(key, value);
}

IniFile::Section* IniFile::find(const std::string& name) {
  for (Section& section : sections_) {
    if (section.name == name) {
      return &section;
    }
  }
  return nullptr;
}

const IniFile::Section* IniFile::find(const std::string& name) const {
  for (const Section& section : sections_) {
    if (section.name == name) {
      return &section;
    }
  }
  return nullptr;
}

}  // namespace marlin::desktop
