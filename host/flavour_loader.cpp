#include "flavour_loader.h"

#include <dlfcn.h>

#include "flavour.h"

namespace t2dhost {

Flavour::Flavour(const std::string& path) : path_(path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* reason = dlerror();
    throw FlavourError(path + ": can't load the flavour: " + (reason ? reason : "unknown reason"));
  }
  dlerror();
  entry_ = dlsym(handle_, T2D_FLAVOUR_ENTRY_NAME);
  if (entry_ == nullptr) {
    dlclose(handle_);
    handle_ = nullptr;
    throw FlavourError(path + ": not a flavour: it exports no function " T2D_FLAVOUR_ENTRY_NAME);
  }
}

Flavour::~Flavour() {
  if (handle_ != nullptr) dlclose(handle_);
}

ConverterFactory Flavour::Factory() const {
  auto create = reinterpret_cast<Ticket2Dict_CreateFlavourFunction>(entry_);
  const std::string path = path_;
  return [create, path](TW_TTask& task) {
    std::unique_ptr<CTicket2Dict_msbasetask> converter(create(&task));
    if (!converter) throw FlavourError(path + ": the flavour created no converter");
    return converter;
  };
}

}  // namespace t2dhost
