#include "platform/linux/module_services.h"

#include <dlfcn.h>

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace tessa {

namespace {

// Beside the program; then the build tree's for a program run from it (a
// test, a benchmark), else the installed folder: an installed program never
// picks up a module from a tree it was not built in.
std::vector<fs::path> moduleFolders() {
  std::vector<fs::path> folders;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && !exe.empty()) folders.push_back(exe.parent_path());
  bool inBuildTree = false;
#ifdef TESSAVINOR_MODULE_DIR
  const std::string tree = fs::path(TESSAVINOR_MODULE_DIR).lexically_normal().string();
  inBuildTree = exe.string().rfind(tree, 0) == 0;
  if (inBuildTree) folders.push_back(TESSAVINOR_MODULE_DIR);
#endif
#ifdef TESSAVINOR_INSTALL_MODULE_DIR
  if (!inBuildTree) folders.push_back(TESSAVINOR_INSTALL_MODULE_DIR);
#endif
  return folders;
}

// The module's one entry: it makes the service, completing on `runner`.
template <class Service>
std::unique_ptr<Service> makeFromModule(const char* fileName, const char* entry, TaskRunner& runner,
                                        std::string& why) {
  void* module = openServiceModule(fileName, &why);
  if (!module) return nullptr;
  using Make = Service* (*)(TaskRunner&);
  auto make = reinterpret_cast<Make>(dlsym(module, entry));
  if (!make) {
    why = std::string(fileName) + " has no " + entry;
    return nullptr;
  }
  // The module stays loaded for the life of the process: the service's code
  // is in it.
  return std::unique_ptr<Service>(make(runner));
}

}  // namespace

void* openServiceModule(const std::string& fileName, std::string* why) {
  std::string tried;
  for (const auto& folder : moduleFolders()) {
    const fs::path path = folder / fileName;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) continue;
    if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
    if (const char* error = dlerror()) tried += std::string(tried.empty() ? "" : "; ") + error;
  }
  if (why) *why = tried.empty() ? fileName + " is not installed" : tried;
  return nullptr;
}

void ModuleHttpClient::send(HttpRequest request, std::function<void(HttpResponse)> completion) {
  std::call_once(loaded_, [this] {
    client_ = makeFromModule<HttpClient>("libtessavinor-http.so", "tessavinorHttpClient", completionRunner_, why_);
  });
  if (client_) {
    client_->send(std::move(request), std::move(completion));
    return;
  }
  HttpResponse response;
  response.error = "HTTP is unavailable: " + why_;
  completionRunner_.post([completion = std::move(completion), response = std::move(response)]() mutable {
    if (completion) completion(std::move(response));
  });
}

void ModuleTextRecognizer::recognize(std::string image, std::function<void(TextRecognition)> completion) {
  std::call_once(loaded_, [this] {
    recognizer_ =
        makeFromModule<TextRecognizer>("libtessavinor-ocr.so", "tessavinorTextRecognizer", completionRunner_, why_);
  });
  if (recognizer_) {
    recognizer_->recognize(std::move(image), std::move(completion));
    return;
  }
  TextRecognition result;
  result.outcome = TextRecognition::Outcome::unavailable;
  result.note = "text recognition is unavailable: " + why_;
  completionRunner_.post([completion = std::move(completion), result = std::move(result)]() mutable {
    if (completion) completion(std::move(result));
  });
}

}  // namespace tessa
