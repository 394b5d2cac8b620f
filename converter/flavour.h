// The entry point of a flavour: a shared library that holds a converter
// derived from CTicket2Dict_msbasetask exports one C function that creates
// its converter on a task. A host (ticket2dict run TASK --flavour LIB.so)
// loads the library, looks the function up by its name and converts with
// the converter it returns.
//
//   class MyFlavour : public CTicket2Dict_msbasetask { ... };
//   T2D_DEFINE_FLAVOUR(MyFlavour)
//
// The function must not throw: a flavour whose constructor fails answers
// null. The host owns the converter and deletes it through its virtual
// destructor; it keeps the library loaded until then.
#pragma once

#include "ticket2dict_msbasetask.h"

// The name a host looks the entry point up by.
#define T2D_FLAVOUR_ENTRY_NAME "Ticket2Dict_CreateFlavour"

extern "C" {
// Creates the flavour's converter on `task`; null when it can't.
typedef CTicket2Dict_msbasetask* (*Ticket2Dict_CreateFlavourFunction)(TW_TTask* task);
}

// Defines the entry point for the converter class `FlavourClass`, which
// must have a constructor from TW_TTask&.
#define T2D_DEFINE_FLAVOUR(FlavourClass)                                              \
  extern "C" __attribute__((visibility("default"))) CTicket2Dict_msbasetask*          \
  Ticket2Dict_CreateFlavour(TW_TTask* task) {                                         \
    if (task == nullptr) return nullptr;                                              \
    try {                                                                             \
      return new FlavourClass(*task);                                                 \
    } catch (...) {                                                                   \
      return nullptr;                                                                 \
    }                                                                                 \
  }
