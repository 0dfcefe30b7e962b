#include "evidence/manifest.h"

#include <unordered_set>

#include "evidence/folder_layout.h"
#include "evidence/json_reader.h"
#include "evidence/sha256.h"

namespace marlin::evidence {

namespace {

Status fieldFailure(const std::string& field, const std::string& why) {
  return Status::failure(StatusCode::BadData, field + " " + why);
}

// object's member key of the kind asked for; field is the member's full name
// for messages ("range.exported").
Status member(const JsonValue& object, const std::string& field, std::string_view key, JsonKind kind,
              const JsonValue*& out) {
  out = object.find(key);
  if (out == nullptr) {
    return fieldFailure(field, "is missing");
  }
  if (out->kind() != kind) {
    return fieldFailure(field,
                        "is " + std::string(jsonKindName(out->kind())) + ", not " + std::string(jsonKindName(kind)));
  }
  return Status::ok();
}

Status wholeNumber(const JsonValue& object, const std::string& field, std::string_view key, std::uint64_t& out) {
  const JsonValue* value = nullptr;
  if (Status found = member(object, field, key, JsonKind::Number, value); !found) {
    return found;
  }
  if (!value->exactUnsigned()) {
    return fieldFailure(field, "is not a whole number from 0 up");
  }
  out = *value->exactUnsigned();
  return Status::ok();
}

Status calendarTime(const JsonValue& object, const std::string& field, std::string_view key, CalendarTime& out) {
  const JsonValue* value = nullptr;
  if (Status found = member(object, field, key, JsonKind::String, value); !found) {
    return found;
  }
  const std::optional<CalendarTime> time = parseCalendarTime(value->text());
  if (!time) {
    return fieldFailure(field, "\"" + value->text() + "\" is not a time written as YYYY-MM-DD hh:mm:ss");
  }
  out = *time;
  return Status::ok();
}

Status readVariant(const JsonValue& root, Manifest& manifest) {
  const JsonValue* recording = nullptr;
  std::uint64_t variant = 0;
  if (Status found = member(root, "recording", "recording", JsonKind::Object, recording); !found) {
    return found;
  }
  if (Status read = wholeNumber(*recording, "recording.variant", "variant", variant); !read) {
    return read;
  }
  if (variant >= static_cast<std::uint64_t>(kVariantCount)) {
    return fieldFailure("recording.variant", "is " + std::to_string(variant) + ", where variants are 0 to " +
                                                 std::to_string(kVariantCount - 1));
  }
  manifest.variant = static_cast<CodecVariant>(variant);
  return Status::ok();
}

Status readExportedRange(const JsonValue& root, Manifest& manifest) {
  const JsonValue* range = nullptr;
  const JsonValue* exported = nullptr;
  if (Status found = member(root, "range", "range", JsonKind::Object, range); !found) {
    return found;
  }
  if (Status found = member(*range, "range.exported", "exported", JsonKind::Object, exported); !found) {
    return found;
  }
  if (Status read = calendarTime(*exported, "range.exported.start_time", "start_time", manifest.exportedStart); !read) {
    return read;
  }
  return calendarTime(*exported, "range.exported.end_time", "end_time", manifest.exportedEnd);
}

Status readFileEntry(const JsonValue& entry, const std::string& field, ManifestFile& file) {
  if (entry.kind() != JsonKind::Object) {
    return fieldFailure(field, "is " + std::string(jsonKindName(entry.kind())) + ", not an object");
  }
  const JsonValue* name = nullptr;
  const JsonValue* sha256 = nullptr;
  if (Status found = member(entry, field + ".name", "name", JsonKind::String, name); !found) {
    return found;
  }
  if (!isPlainFileName(name->text())) {
    return fieldFailure(field + ".name", "\"" + name->text() + "\" is not the name of a file in the folder");
  }
  if (Status read = wholeNumber(entry, field + ".size", "size", file.size); !read) {
    return read;
  }
  if (Status found = member(entry, field + ".sha256", "sha256", JsonKind::String, sha256); !found) {
    return found;
  }
  if (!isSha256Hex(sha256->text())) {
    return fieldFailure(field + ".sha256", "is not 64 lowercase hex digits");
  }
  file.name = name->text();
  file.sha256 = sha256->text();
  return Status::ok();
}

Status readFiles(const JsonValue& root, Manifest& manifest) {
  const JsonValue* files = nullptr;
  if (Status found = member(root, "files", "files", JsonKind::Array, files); !found) {
    return found;
  }
  std::unordered_set<std::string> names;
  for (std::size_t i = 0; i < files->items().size(); ++i) {
    const std::string field = "files[" + std::to_string(i) + "]";
    ManifestFile file;
    if (Status read = readFileEntry(files->items()[i], field, file); !read) {
      return read;
    }
    if (!names.insert(file.name).second) {
      return fieldFailure(field + ".name", "names " + file.name + " a second time");
    }
    manifest.files.push_back(std::move(file));
  }
  if (names.count(std::string(kOriginalName)) == 0) {
    return fieldFailure("files", "lists no " + std::string(kOriginalName));
  }
  return Status::ok();
}

}  // namespace

Status readManifest(std::string_view text, Manifest& manifest) {
  manifest = Manifest{};
  JsonValue root;
  if (Status read = readJson(text, root); !read) {
    return read;
  }
  if (root.kind() != JsonKind::Object) {
    return fieldFailure("the whole text", "is " + std::string(jsonKindName(root.kind())) + ", not an object");
  }
  for (Status (*part)(const JsonValue&, Manifest&) : {readVariant, readExportedRange, readFiles}) {
    if (Status read = part(root, manifest); !read) {
      return read;
    }
  }
  return Status::ok();
}

}  // namespace marlin::evidence
