#include "study/inputs.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

// Whether `text` ends in `tail`, letters in any case.
bool ends_with_any_case(const std::string& text, const std::string& tail) {
  if (text.size() < tail.size()) return false;
  return std::equal(tail.begin(), tail.end(), text.end() - tail.size(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
}

// Device and inode of an existing file, to find one file under two spellings of its path.
bool file_id(const std::string& path, std::pair<dev_t, ino_t>& id) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  id = {info.st_dev, info.st_ino};
  return true;
}

using Folders = std::vector<std::string>;

// The folders of `path` from the root: made absolute against the working folder, without "." and
// with each ".." taking back the folder before it, as written (links are not followed).
Folders folders_of(const std::string& path) {
  std::string whole = path;
  if (whole.empty() || whole[0] != '/') {
    std::error_code error;
    whole = fs::current_path(error).string() + "/" + whole;
  }
  Folders folders;
  for (std::size_t start = 0; start <= whole.size();) {
    std::size_t slash = whole.find('/', start);
    if (slash == std::string::npos) slash = whole.size();
    const std::string part = whole.substr(start, slash - start);
    if (part == "..") {
      if (!folders.empty()) folders.pop_back();
    } else if (!part.empty() && part != ".") {
      folders.push_back(part);
    }
    start = slash + 1;
  }
  return folders;
}

// A recording before its report's path is known.
struct Found {
  std::string path;
  Folders folder;  // the folder it lies in, from the root
  std::string name;
  bool regular;  // a regular file (through links): only such a recording writes a report
};

// Whether a folder entry named `name` is a recording by its name.
bool recording_name(const std::string& name) {
  return name[0] != '.' && ends_with_any_case(name, ".txt") &&
         !ends_with_any_case(name, "_output.txt");
}

// Adds to `found` the paths, relative to the listed folder, of the recordings in `folder` (the
// listed folder plus `inside`), and those of its subfolders when recursive, but the folder `out`.
// Returns why a folder could not be listed; empty when all could.
std::string list_folder(const std::string& folder, const std::string& inside,
                        const Selection& selection, const std::pair<dev_t, ino_t>* out,
                        std::vector<std::string>& found) {
  std::error_code error;
  const std::string here = in_folder(folder, inside);
  std::vector<std::string> subfolders;
  for (fs::directory_iterator it(here, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    // Hidden names are left out: some systems leave a "._name.txt" of metadata beside every
    // file, which is no recording and would share its report name with every other one.
    if (name[0] == '.') continue;
    std::error_code type_error;
    if (!it->is_symlink(type_error) && it->is_directory(type_error)) {
      if (selection.recursive) subfolders.push_back(name);
    } else if (recording_name(name) && it->is_regular_file(type_error)) {
      found.push_back(in_folder(inside, name));
    }
  }
  if (error) return "cannot list folder '" + here + "': " + error.message();
  for (const std::string& name : subfolders) {
    std::pair<dev_t, ino_t> id;
    const std::string sub = in_folder(inside, name);
    if (out != nullptr && file_id(in_folder(folder, sub), id) && id == *out) continue;
    const std::string message = list_folder(folder, sub, selection, out, found);
    if (!message.empty()) return message;
  }
  return "";
}

std::string joined(const Folders& folders, std::size_t from) {
  std::string path;
  for (std::size_t k = from; k < folders.size(); ++k) path += folders[k] + "/";
  return path;
}

}  // namespace

std::string study_report_name(const std::string& path) {
  std::string name = path.substr(path.rfind('/') + 1);
  const std::string extension = ".txt";
  if (name.size() >= extension.size() &&
      name.compare(name.size() - extension.size(), extension.size(), extension) == 0)
    name.resize(name.size() - extension.size());
  return name + "_output.txt";
}

std::string in_folder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

Expansion expand_inputs(const std::vector<std::string>& inputs, const Selection& selection) {
  Expansion result;
  std::pair<dev_t, ino_t> out_id;
  const bool has_out = !selection.out.empty() && file_id(selection.out, out_id);
  std::vector<Found> found;
  std::vector<Folders> anchors;  // each input's folder: the folder input, a file's folder
  for (const std::string& input : inputs) {
    std::error_code error;
    if (!fs::is_directory(input, error)) {
      const std::size_t slash = input.rfind('/');
      const std::string folder = slash == std::string::npos ? "" : input.substr(0, slash + 1);
      const bool regular = fs::is_regular_file(input, error);
      found.push_back({input, folders_of(folder), input.substr(slash + 1), regular});
      // A missing file or a device such as /dev/null does not move the reports' folders.
      if (regular) anchors.push_back(found.back().folder);
      continue;
    }
    anchors.push_back(folders_of(input));
    std::vector<std::string> inside;
    result.error = list_folder(input, "", selection, has_out ? &out_id : nullptr, inside);
    if (!result.error.empty()) return result;
    if (inside.empty()) {
      result.warnings.push_back("no recordings in folder '" + input + "' (no .txt files" +
                                (selection.recursive ? " in it or its subfolders"
                                                     : " at its first level (--no-recursive)") +
                                "; reports *_output.txt and hidden files are left out)");
    }
    std::sort(inside.begin(), inside.end());
    for (const std::string& relative : inside) {
      const std::string path = in_folder(input, relative);
      const std::size_t slash = path.rfind('/');
      found.push_back({path, folders_of(path.substr(0, slash + 1)), path.substr(slash + 1), true});
    }
  }

  Folders base;
  if (!selection.base.empty()) {
    base = folders_of(selection.base);
  } else if (!anchors.empty()) {
    base = anchors.front();
    for (const Folders& anchor : anchors) {
      std::size_t common = 0;
      while (common < base.size() && common < anchor.size() && base[common] == anchor[common])
        ++common;
      base.resize(common);
    }
  }
  for (const Found& f : found) {
    const std::string name = study_report_name(f.name);
    const bool inside = (!anchors.empty() || !selection.base.empty()) &&
                        f.folder.size() >= base.size() &&
                        std::equal(base.begin(), base.end(), f.folder.begin());
    if (inside) {
      result.recordings.push_back({f.path, joined(f.folder, base.size()) + name});
    } else if (!f.regular) {
      result.recordings.push_back({f.path, name});  // it writes no report
    } else {
      result.error = "'" + f.path + "' is not inside the --base folder '" + selection.base + "'";
      return result;
    }
  }
  return result;
}

std::vector<std::string> report_conflicts(const std::vector<Recording>& recordings,
                                          const std::string& out) {
  std::vector<std::string> messages;
  std::map<std::string, const Recording*> first_with;
  for (const Recording& r : recordings) {
    auto [it, inserted] = first_with.emplace(r.report, &r);
    if (!inserted) {
      messages.push_back("'" + it->second->path + "' and '" + r.path +
                         "' would both write the report " + r.report);
    }
  }
  std::map<std::pair<dev_t, ino_t>, const Recording*> recording_with;
  for (const Recording& r : recordings) {
    std::pair<dev_t, ino_t> id;
    if (file_id(r.path, id)) recording_with.emplace(id, &r);
  }
  for (const Recording& r : recordings) {
    std::pair<dev_t, ino_t> id;
    if (!file_id(in_folder(out, r.report), id)) continue;
    auto it = recording_with.find(id);
    if (it != recording_with.end()) {
      messages.push_back("the report of '" + r.path + "' would replace the recording '" +
                         it->second->path + "'");
    }
  }
  return messages;
}
