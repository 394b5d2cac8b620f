// Loading a flavour: a shared library that exports the entry point of
// flavour.h (Ticket2Dict_CreateFlavour), which creates a converter derived
// from CTicket2Dict_msbasetask on a task.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "conversion.h"

namespace t2dhost {

// A flavour library that can't be loaded, or that has no entry point.
class FlavourError : public std::runtime_error {
 public:
  explicit FlavourError(const std::string& what) : std::runtime_error(what) {}
};

// A loaded flavour library. It stays loaded while this object lives, so the
// converters it created must be destroyed first.
class Flavour {
 public:
  // Loads `path` (a path with a "/" is taken as it is; a bare name is looked
  // up the way the dynamic loader does) and finds its entry point. Raises
  // FlavourError naming the library and the problem.
  explicit Flavour(const std::string& path);
  ~Flavour();
  Flavour(const Flavour&) = delete;
  Flavour& operator=(const Flavour&) = delete;

  // A factory for Conversion. The converter it builds raises FlavourError
  // when the flavour answers no converter.
  ConverterFactory Factory() const;

 private:
  std::string path_;
  void* handle_ = nullptr;
  void* entry_ = nullptr;
};

}  // namespace t2dhost
