#include "study/inputs.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>
#include <utility>

#include "report/output.h"

namespace fs = std::filesystem;

namespace {

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Device and inode of an existing file, to find one file under two spellings of its path.
bool file_id(const std::string& path, std::pair<dev_t, ino_t>& id) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  id = {info.st_dev, info.st_ino};
  return true;
}

}  // namespace

std::string study_report_name(const std::string& path) {
  // chew_eval's report name without its folder part, so both programs name a report alike.
  const std::string beside = report_name(path.c_str());
  const std::size_t slash = beside.rfind('/');
  return slash == std::string::npos ? beside : beside.substr(slash + 1);
}

std::string in_folder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

Expansion expand_inputs(const std::vector<std::string>& inputs) {
  Expansion result;
  for (const std::string& input : inputs) {
    std::error_code error;
    if (!fs::is_directory(input, error)) {
      result.recordings.push_back({input, study_report_name(input)});
      continue;
    }
    std::vector<std::string> names;
    for (fs::directory_iterator it(input, error), end; !error && it != end; it.increment(error)) {
      const std::string name = it->path().filename().string();
      std::error_code type_error;
      // Hidden names are left out: some systems leave a "._name.txt" of metadata beside every
      // file, which is no recording and would share its report name with every other one.
      if (name[0] != '.' && ends_with(name, ".txt") && !ends_with(name, "_output.txt") &&
          it->is_regular_file(type_error)) {
        names.push_back(name);
      }
    }
    if (error) {
      result.error = "cannot list folder '" + input + "': " + error.message();
      return result;
    }
    if (names.empty()) result.warnings.push_back("no recordings in folder '" + input + "'");
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string path = in_folder(input, name);
      result.recordings.push_back({path, study_report_name(path)});
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
