#include "alarms/AlarmWorkerHost.h"

#include <algorithm>
#include <filesystem>
#include <tuple>

namespace alarms {

std::vector<std::string> QueuedPictures(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::tuple<fs::file_time_type, std::string>> found;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (!it->is_regular_file(e2)) continue;
    const auto time = it->last_write_time(e2);
    if (!e2) found.emplace_back(time, it->path().string());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& f : found) paths.push_back(std::get<1>(f));
  return paths;
}

}  // namespace alarms
